// The run log's file and stream: opened without truncation and held for one
// run, emptied (or cut back) once the dialogue is done, written one whole
// line per write, made durable every so often and at the end.
#include "calc/log_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <fcntl.h>
#include <share.h>
#include <stdlib.h>
#include <winerror.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace calc {

namespace {

// Whether a run may keep the file it opened: yes, another run holds it, or
// the name stands for another file by now.
enum class Hold { held, inUse, replaced };

// The few file operations the log needs, on a descriptor; each failure leaves
// its reason in errno.
#ifdef _WIN32
// Windows files are opened binary and the sink writes CR LF itself, so that a
// line and its end still go out in a single write.
constexpr bool kCrLf = true;
int openForWriting(const char* path, bool create) {
  const int flags = _O_WRONLY | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
  int fd = -1;
  // _SH_DENYWR: while this run has the file open, no other may open it for
  // writing; one that tries fails with a sharing violation.
  const errno_t e = _sopen_s(&fd, path, flags, _SH_DENYWR, _S_IREAD | _S_IWRITE);
  if (e == 0) return fd;
  errno = _doserrno == ERROR_SHARING_VIOLATION ? kLogInUse : e;
  return -1;
}
// The share mode taken by the open already holds the file.
Hold holdExclusively(int, const char*) { return Hold::held; }
// Windows logs are not symbolic links that the run would have to tell apart.
bool isDanglingLink(const char*) { return false; }
long long writeSome(int fd, const char* p, std::size_t size) {
  return _write(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
bool isRegularFile(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) != 0 || (st.st_mode & _S_IFREG) != 0;
}
bool cutTo(int fd, long long size) {
  errno = _chsize_s(fd, size);
  return errno == 0 && _lseeki64(fd, size, SEEK_SET) == size;
}
bool seekTo(int fd, long long at) { return _lseeki64(fd, at, SEEK_SET) == at; }
long long sizeOf(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) == 0 ? st.st_size : -1;
}
// Closes fd and, when remove, removes path if the file was still empty. A
// file open elsewhere cannot be removed on Windows, so the removal follows the
// close and fails, leaving the file, when another run has opened it since.
bool closeFile(int fd, const char* path, bool remove) {
  struct _stat64 st;
  remove = remove && _fstat64(fd, &st) == 0 && st.st_size == 0;
  const bool closed = _close(fd) == 0;
  const int closeError = errno;
  if (remove) _unlink(path);
  errno = closeError;
  return closed;
}
// _commit is FlushFileBuffers on the file's handle.
bool syncFile(int fd) { return _commit(fd) == 0; }
// A file's name is part of its directory entry, which Windows keeps with the file.
void syncDirectoryOf(const char*) {}
int openForReadingFd(const char* path) {
  int fd = -1;
  // _SH_DENYNO: the run that holds the log for writing keeps it while this reads.
  errno = _sopen_s(&fd, path, _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
  return errno == 0 ? fd : -1;
}
long long readSome(int fd, char* p, std::size_t size) {
  return _read(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
void closeFd(int fd) { _close(fd); }
// The share mode denies other writers but not a rename; the read goes by the name.
bool sameFile(int, int) { return true; }
#else
constexpr bool kCrLf = false;
int openForWriting(const char* path, bool create) {
  // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
  // waiting for one; the descriptor then blocks as usual.
  const int fd =
      open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT | O_EXCL : 0), 0666);
  if (fd < 0) return fd;
  const int flags = fcntl(fd, F_GETFL);
  if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    const int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  return fd;
}
bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
Hold holdExclusively(int fd, const char* path) {
  struct stat st;
  // A device or a FIFO keeps no records to spoil; its lock would be shared
  // with every program that uses it (every run whose log is /dev/null).
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Hold::held;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // A file system without locks still takes a log.
    return errno == EWOULDBLOCK || errno == EAGAIN ? Hold::inUse : Hold::held;
  }
  // Between the open and the lock, another run may have removed the file or
  // put another in its place: the lock then holds nothing anyone else sees.
  struct stat named;
  return stat(path, &named) == 0 && sameFile(named, st) ? Hold::held : Hold::replaced;
}
bool isDanglingLink(const char* path) {
  struct stat st;
  return lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && stat(path, &st) != 0 && errno == ENOENT;
}
long long writeSome(int fd, const char* p, std::size_t size) { return write(fd, p, size); }
bool isRegularFile(int fd) {
  struct stat st;
  return fstat(fd, &st) != 0 || S_ISREG(st.st_mode);
}
bool cutTo(int fd, long long size) { return ftruncate(fd, size) == 0 && lseek(fd, size, SEEK_SET) == size; }
bool seekTo(int fd, long long at) { return lseek(fd, at, SEEK_SET) == at; }
long long sizeOf(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_size : -1;
}
// Closes fd and, when remove, first removes path if it still names the file
// open on fd and that file is empty. The lock, held until the close, keeps
// every other run from taking the file meanwhile.
bool closeFile(int fd, const char* path, bool remove) {
  struct stat held, named;
  if (remove && fstat(fd, &held) == 0 && held.st_size == 0 && lstat(path, &named) == 0 &&
      sameFile(named, held))
    unlink(path);
  return close(fd) == 0;
}
// The data and what reading it back needs (its size), not the file's times:
// fdatasync where the system has it.
bool syncFile(int fd) {
  int r;
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
  while ((r = fdatasync(fd)) != 0 && errno == EINTR) {
  }
#else
  while ((r = fsync(fd)) != 0 && errno == EINTR) {
  }
#endif
  return r == 0;
}
// A file this run created survives a power cut only with its directory
// entry: the directory is synced too. A file system that cannot sync a
// directory still keeps the file's data, so its failure is not the run's.
void syncDirectoryOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const std::string dir = slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}
int openForReadingFd(const char* path) { return open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC); }
long long readSome(int fd, char* p, std::size_t size) { return read(fd, p, size); }
void closeFd(int fd) { close(fd); }
bool sameFile(int a, int b) {
  struct stat sa, sb;
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sameFile(sa, sb);
}
#endif

// A stream buffer that reads a file descriptor it owns. A read that fails
// throws, which fails the stream reading it (badbit), with the reason in errno.
class ReadBuffer : public std::streambuf {
 public:
  explicit ReadBuffer(int fd) : fd_(fd), buffer_(1 << 16) {}
  ~ReadBuffer() override { closeFd(fd_); }
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;

 protected:
  int_type underflow() override {
    for (;;) {
      const long long n = readSome(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        const int e = errno;
        struct ReadFailed {};
        errno = e;
        throw ReadFailed{};
      }
      if (n == 0) return traits_type::eof();
      setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
      return traits_type::to_int_type(buffer_[0]);
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_;
};

// The log on a file descriptor.
class FileSink : public LogSink {
 public:
  FileSink(int fd, std::string path, bool created) : fd_(fd), path_(std::move(path)), created_(created) {}
  ~FileSink() override {
    if (fd_ >= 0) closeFile(fd_, path_.c_str(), false);
  }
  bool write(const char* data, std::size_t size) override {
    std::string crLf;
    if (kCrLf) {
      crLf.reserve(size + size / 16);
      for (const char* p = data; p != data + size; ++p) {
        if (*p == '\n') crLf += '\r';
        crLf += *p;
      }
      data = crLf.data();
      size = crLf.size();
    }
    // One write for the whole line; a short count (a disk filling up, a
    // file-size limit) is followed by the rest, which then reports the error.
    const std::size_t whole = size;
    while (size > 0) {
      const long long n = writeSome(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int e = n < 0 ? errno : ENOSPC;
        // The part of the line that went out is taken back: the file ends
        // in whole lines, whatever stopped this one.
        if (isRegularFile(fd_)) cutTo(fd_, end_);
        return fail(e);
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    end_ += static_cast<long long>(whole);
    return true;
  }
  bool truncate() override {
    // A device or a pipe has nothing to empty.
    if (isRegularFile(fd_) && !cutTo(fd_, 0)) return fail(errno);
    end_ = 0;
    return true;
  }
  bool cut(uint64_t size) override {
    if (!isRegularFile(fd_)) return size == 0 || fail(ENOTSUP);
    const long long at = static_cast<long long>(size);
    // A file that already ends there is left as it is, its times included.
    if (sizeOf(fd_) == at ? seekTo(fd_, at) : cutTo(fd_, at)) {
      end_ = at;
      return true;
    }
    return fail(errno);
  }
  bool sync() override {
    if (!isRegularFile(fd_)) return true;  // a device or a pipe keeps nothing
    if (!syncFile(fd_)) return fail(errno);
    if (created_ && !directorySynced_) {
      syncDirectoryOf(path_.c_str());
      directorySynced_ = true;
    }
    return true;
  }
  std::unique_ptr<std::streambuf> reader() override {
    if (!isRegularFile(fd_)) return nullptr;  // nothing was kept to read back
    const int fd = openForReadingFd(path_.c_str());
    if (fd < 0) {
      fail(errno);
      return nullptr;
    }
    // The name may stand for another file by now: only this one's bytes count.
    if (!sameFile(fd, fd_)) {
      closeFd(fd);
      fail(kLogInUse);
      return nullptr;
    }
    return std::make_unique<ReadBuffer>(fd);
  }
  bool close(bool refused) override {
    const bool closed = closeFile(fd_, path_.c_str(), refused && created_) || fail(errno);
    fd_ = -1;
    return closed;
  }

 private:
  bool fail(int e) {
    error_ = e;
    return false;
  }
  int fd_;
  std::string path_;
  bool created_;
  bool directorySynced_ = false;
  long long end_ = 0;  // where the last whole write ended: the file's offset
};

// How often openLogFile starts over when other runs change the name under it.
constexpr int kOpenAttempts = 16;

}  // namespace

std::unique_ptr<LogSink> openLogFile(const char* path) {
  // Another run may create, replace or remove the file between two of these
  // steps; then the open starts over with the name as it is now.
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    bool created = false;
    int fd = openForWriting(path, false);
    if (fd < 0 && errno == ENOENT) {
      fd = openForWriting(path, true);
      created = fd >= 0;
      if (fd < 0 && errno == EEXIST) {
        // Missing, yet there: a symbolic link to nothing, or a file another
        // run created in between, which this one then opens as it is.
        if (isDanglingLink(path)) {
          errno = kLogDanglingLink;
          return nullptr;
        }
        continue;
      }
    }
    if (fd < 0) return nullptr;
    const Hold hold = holdExclusively(fd, path);
    if (hold == Hold::held) return std::make_unique<FileSink>(fd, path, created);
    closeFile(fd, path, false);  // a file this run created but another holds is that run's now
    if (hold == Hold::inUse) {
      errno = kLogInUse;
      return nullptr;
    }
  }
  errno = kLogInUse;
  return nullptr;
}

std::unique_ptr<std::streambuf> openForReading(const char* path) {
  const int fd = openForReadingFd(path);
  if (fd < 0) return nullptr;
  return std::make_unique<ReadBuffer>(fd);
}

const bool kLogFileCrLf = kCrLf;

bool LogSink::cut(uint64_t) {
  error_ = ENOTSUP;
  return false;
}

std::unique_ptr<std::streambuf> LogSink::reader() { return nullptr; }

// --- LineBuffer -------------------------------------------------------------------

bool LineBuffer::grow(std::size_t extra) {
  const std::size_t used = static_cast<std::size_t>(pptr() - pbase());
  try {
    buffer_.resize(std::max({buffer_.size() * 2, used + extra, std::size_t{256}}));
  } catch (const std::bad_alloc&) {
    // The stream that called fails; what was gathered stays as it was.
    outOfMemory_ = true;
    return false;
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  for (std::size_t left = used; left > 0;) {  // pbump takes an int
    const int step = static_cast<int>(std::min<std::size_t>(left, INT_MAX));
    pbump(step);
    left -= static_cast<std::size_t>(step);
  }
  return true;
}

LineBuffer::int_type LineBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  if (!grow(1)) return traits_type::eof();
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize LineBuffer::xsputn(const char* s, std::streamsize n) {
  if (n <= 0) return 0;
  const std::size_t size = static_cast<std::size_t>(n);
  if (static_cast<std::size_t>(epptr() - pptr()) < size && !grow(size)) return 0;
  std::memcpy(pptr(), s, size);
  for (std::size_t left = size; left > 0;) {
    const int step = static_cast<int>(std::min<std::size_t>(left, INT_MAX));
    pbump(step);
    left -= static_cast<std::size_t>(step);
  }
  return n;
}

int LineBuffer::sync() {
  const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
  if (size == 0) return 0;
  bool written = false;
  try {
    written = sink_ != nullptr && sink_->write(pbase(), size);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;  // the sink could not prepare the line: none of it was written
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  if (written && syncInterval_.count() > 0) {
    const auto now = clock_();
    if (now - lastSync_ >= syncInterval_) {
      lastSync_ = now;
      written = sink_->sync();
    }
  }
  return written ? 0 : -1;
}

void LineBuffer::syncEvery(std::chrono::steady_clock::duration interval,
                           std::function<std::chrono::steady_clock::time_point()> clock) {
  syncInterval_ = interval;
  clock_ = std::move(clock);
  if (interval.count() > 0) lastSync_ = clock_();
}

// --- LogFile ----------------------------------------------------------------------

LogFile::LogFile() : std::ostream(nullptr) {
  rdbuf(&buffer_);
  setstate(std::ios::badbit);  // closed: writes are skipped until open()
}

bool LogFile::open(const char* path, const Opener& opener) {
  errno = 0;
  sink_ = opener(path);
  error_ = sink_ ? 0 : errno;
  buffer_.setSink(sink_.get());
  if (!sink_) {
    setstate(std::ios::badbit);
    return false;
  }
  clear();
  return true;
}

bool LogFile::truncate() { return sink_ != nullptr && note(sink_->truncate()); }

bool LogFile::cut(uint64_t size) { return sink_ != nullptr && note(sink_->cut(size)); }

std::unique_ptr<std::streambuf> LogFile::reader() {
  if (!sink_) return nullptr;
  auto r = sink_->reader();
  if (!r && sink_->error() != 0 && error_ == 0) error_ = sink_->error();
  return r;
}

void LogFile::syncEvery(std::chrono::steady_clock::duration interval, Clock clock, bool durable) {
  durable_ = durable;
  buffer_.syncEvery(durable ? interval : std::chrono::steady_clock::duration::zero(), std::move(clock));
}

bool LogFile::close(bool refused) {
  if (!sink_) return false;
  flush();
  // Status 0 says the log holds every place: they must be on the disk first.
  const bool written = note(!fail()) && (refused || !durable_ || note(sink_->sync()));
  const bool released = note(sink_->close(refused));
  sink_.reset();
  buffer_.setSink(nullptr);
  setstate(std::ios::badbit);
  return written && released;
}

bool LogFile::note(bool ok) {
  if (!ok) {
    if (error_ == 0) error_ = buffer_.outOfMemory() ? ENOMEM : sink_->error();
    setstate(std::ios::badbit);
  }
  return ok;
}

}  // namespace calc
