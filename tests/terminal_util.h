// Helpers for the tests that run longsqrt on a pseudo-terminal: open one, start
// the program on it, read what it shows, watch its modes, reap the child; and
// how every test starts the program (through the emulator of a cross build).
#ifndef LONGSQRT_TESTS_TERMINAL_UTIL_H
#define LONGSQRT_TESTS_TERMINAL_UTIL_H
#ifndef _WIN32

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace terminal_test {

// Returns the words that start program: the emulator's (qemu for a cross
// build, none for a native one), then program itself.
inline std::vector<std::string> commandOf(const char* program) {
  std::vector<std::string> words = {LONGSQRT_EMULATOR};
  words.push_back(program);
  return words;
}

// Returns true when programs start through an emulator (a cross build).
inline bool underEmulator() { return commandOf("").size() > 1; }

// Returns the command line that starts program, for a shell: each word in single quotes.
inline std::string shellCommandOf(const char* program) {
  std::string line;
  for (const std::string& word : commandOf(program)) {
    line += (line.empty() ? "'" : " '");
    for (const char c : word) line += (c == '\'' ? std::string("'\\''") : std::string(1, c));
    line += "'";
  }
  return line;
}

// Replaces this process with program and args, through the emulator if any;
// returns only if that fails.
inline void execProgram(const char* program, const std::vector<std::string>& args = {}) {
  std::vector<std::string> words = commandOf(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
}

// A pseudo-terminal: the master side the test types into and reads from, and
// one descriptor on the slave side that keeps its settings observable.
struct Terminal {
  int master = -1;
  int slave = -1;
  std::string slaveName;
  Terminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slaveName = ptsname(master);
    slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
  }
  ~Terminal() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  // Returns true when both sides are open.
  bool ok() const { return master >= 0 && slave >= 0; }
  // Types the bytes on the terminal's keyboard.
  bool type(const std::string& keys) const {
    return write(master, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  }
};

// Where the child's standard streams go (the terminal, or a file in its
// folder), the signals it starts with ignored (as under nohup), and the locale
// it runs in, so that the test runner's own never decides what it writes.
struct Streams {
  const char* out = nullptr;  // nullptr: the terminal
  const char* err = "stderr.txt";
  std::vector<int> ignored = {};
  const char* locale = "C";  // LC_ALL; nullptr: unset (LC_CTYPE is always unset)
  const char* lang = "C";    // LANG; nullptr: unset
};

// Returns true when the C library has the locale name.
inline bool haveLocale(const char* name) {
  const locale_t l = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (l != static_cast<locale_t>(0)) freelocale(l);
  return l != static_cast<locale_t>(0);
}

// In a child about to run program on terminal tty in folder dir: sets up its
// environment and standard streams as streams says, then runs program with
// args. Never returns.
[[noreturn]] inline void execOnTerminal(int tty, const std::string& dir, const char* program,
                                        const std::vector<std::string>& args, const Streams& streams) {
  if (tty < 0 || chdir(dir.c_str()) != 0) _exit(126);
  const rlimit noCore = {0, 0};  // a signal that dumps core (SIGQUIT) leaves no file behind
  setrlimit(RLIMIT_CORE, &noCore);
  for (const int sig : streams.ignored) signal(sig, SIG_IGN);
  unsetenv("LC_CTYPE");
  for (const auto& [name, value] : {std::pair{"LC_ALL", streams.locale}, std::pair{"LANG", streams.lang}}) {
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  setenv("TERM", "xterm", 1);
  const auto target = [tty](const char* file) {
    return file ? open(file, O_WRONLY | O_CREAT | O_TRUNC, 0600) : tty;
  };
  const int out = target(streams.out);
  const int err = target(streams.err);
  if (out < 0 || err < 0) _exit(126);
  dup2(tty, 0);
  dup2(out, 1);
  dup2(err, 2);
  execProgram(program, args);
  _exit(127);
}

// Starts program with args in folder dir as the session leader of terminal t,
// its standard input on the terminal and its output where streams says.
// Returns the child's process id.
inline pid_t startOnTerminal(const Terminal& t, const std::string& dir, const char* program,
                             const std::vector<std::string>& args = {}, const Streams& streams = {}) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setsid();
  execOnTerminal(open(t.slaveName.c_str(), O_RDWR), dir, program, args, streams);  // the controlling terminal
}

// A program started as a job of a minimal shell: the shell leads the
// terminal's session and waits for the job, which runs in a process group of
// its own in the foreground, so that the job can be stopped (Ctrl-Z) and
// continued. The shell ends with the job's exit status, or 128 + the signal
// that ended it.
struct Job {
  pid_t shell = -1;    // wait for this one
  pid_t program = -1;  // signal this one
};

inline Job startAsJob(const Terminal& t, const std::string& dir, const char* program,
                      const std::vector<std::string>& args = {}, const Streams& streams = {}) {
  int report[2];
  if (pipe(report) != 0) return {};
  Job job;
  job.shell = fork();
  if (job.shell == 0) {
    setsid();
    const int tty = open(t.slaveName.c_str(), O_RDWR);
    if (tty < 0) _exit(126);
    const pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      signal(SIGTTOU, SIG_IGN);  // a background group may take the terminal only so
      tcsetpgrp(tty, getpgrp());
      signal(SIGTTOU, SIG_DFL);
      execOnTerminal(tty, dir, program, args, streams);
    }
    setpgid(child, child);
    if (write(report[1], &child, sizeof child) != sizeof child) _exit(126);
    int status = 0;
    while (waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status)) {
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }
  close(report[1]);
  if (job.shell < 0 || read(report[0], &job.program, sizeof job.program) != sizeof job.program)
    job.program = -1;
  close(report[0]);
  return job;
}

// Reads from fd into seen until it contains what, or the deadline passes.
inline bool readUntil(int fd, const std::string& what, std::string& seen, int seconds = 20) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (seen.find(what) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// Returns true once the terminal's local modes match want under mask, false
// when they do not within the given seconds.
inline bool awaitModes(int fd, tcflag_t mask, tcflag_t want, int seconds = 20) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  termios t;
  while (std::chrono::steady_clock::now() < deadline) {
    if (tcgetattr(fd, &t) == 0 && (t.c_lflag & mask) == want) return true;
    usleep(2000);
  }
  return false;
}

// Kills and reaps a child that a failed check left running.
struct ChildGuard {
  pid_t pid;
  pid_t also = -1;  // a grandchild to kill with it (a job's program)
  bool reaped = false;
  ~ChildGuard() {
    if (reaped) return;
    if (also > 0) kill(also, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  // Waits for the child to end and returns its wait status.
  int wait() {
    int status = 0;
    waitpid(pid, &status, 0);
    reaped = true;
    return status;
  }
};

}  // namespace terminal_test

#endif  // _WIN32
#endif  // LONGSQRT_TESTS_TERMINAL_UTIL_H
