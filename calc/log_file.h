// The run log as a stream: its file is held for one run alone from the moment
// it is opened, checked before the dialogue without being changed, emptied (or
// cut back to the places a resumed run keeps) only when a run starts
// computing, receives each line whole, with its line end, in a single write,
// so that it always ends in whole lines, and is made durable on the disk at
// least every so often and before it is released.
#ifndef LONGSQRT_CALC_LOG_FILE_H
#define LONGSQRT_CALC_LOG_FILE_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

namespace calc {

// The log's path that names standard output (--log -).
inline constexpr char kLogToOutput[] = "-";

// Why the log failed: the system's error number, or a reason of the log's own.
struct LogError {
  // The log's own reasons.
  enum class Own {
    none,
    inUse,         // another run holds the log: it is opened by one run at a time
    danglingLink,  // its name is a symbolic link to a file that does not exist
    isInput,       // it is the file or pipe the run reads its answers from
    isOutput,      // it is the file or pipe the run's console writes to
  };
  int system = 0;  // the system's error number (ENOMEM: memory ran out); 0: none known
  Own own = Own::none;

  // Makes the error the system's error number names (0: none).
  LogError(int systemError = 0) : system(systemError) {}
  // Makes one of the log's own errors.
  LogError(Own reason) : own(reason) {}
  // Returns true when both name the same error.
  bool operator==(const LogError& other) const { return system == other.system && own == other.own; }
  // Returns true when an error is known.
  explicit operator bool() const { return system != 0 || own != Own::none; }
};

// The bytes of a log, read from its first: a read that fails fails the stream
// reading them (badbit) and leaves its reason in error().
class LogBytes : public std::streambuf {
 public:
  // Returns the system's error number of the read that failed; 0 when none did.
  virtual int error() const = 0;
};

// Where the log's bytes go: a file, or what a test puts in its place. Each
// operation returns false on failure and leaves the reason in error().
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Writes all size bytes in one write; anything less is a failure, after
  // which the sink keeps none of them (a file is cut back to where the write
  // began), so that it holds only whole writes.
  virtual bool write(const char* data, std::size_t size) = 0;
  // Empties what the sink held before this run.
  virtual bool truncate() = 0;
  // Keeps the first size bytes of what the sink holds and drops the rest;
  // later writes follow them. A sink that cannot be cut fails with ENOTSUP.
  virtual bool cut(uint64_t size);
  // Makes every byte written so far survive a crash or a power cut (on the
  // disk, not in the system's cache). A sink with nothing to keep succeeds.
  virtual bool sync() { return true; }
  // Returns a reader of what the sink holds, from its first byte; nullptr
  // without error() when it holds nothing that can be read back (a device, a
  // pipe), nullptr with error() set when reading it cannot start.
  virtual std::unique_ptr<LogBytes> reader();
  // Releases the sink; a refused run (nothing written) removes a file that
  // opening it created, so that the run leaves no trace, but only while that
  // file is still the one it created and still empty.
  virtual bool close(bool refused) = 0;
  // Returns the reason of the last failure.
  LogError error() const { return error_; }

 protected:
  LogError error_;
};

// Opens path for writing without truncating it, creating it if it is missing,
// and holds it against every other run until the sink is released: an
// advisory lock on a regular file (POSIX), a share mode that denies other
// writers (Windows). A FIFO without a reader is refused rather than waited
// for, and so is the file or pipe of the run's own standard input, output or
// error (a log there would be read as answers or mixed with the console).
// Returns nullptr, with the reason in error, when the file cannot be opened,
// is held or is refused. The path kLogToOutput ("-") stands for standard
// output, taken as it is.
std::unique_ptr<LogSink> openLogFile(const char* path, LogError& error);

// Opens path for reading from its first byte; returns nullptr, with the
// system's reason in error, when it cannot be opened.
std::unique_ptr<LogBytes> openForReading(const char* path, int& error);

// Whether the log's file ends its lines in CR LF (Windows) rather than LF.
extern const bool kLogFileCrLf;

// A stream buffer that gathers everything written to it and hands it to its
// sink in one write at each flush: a log flushed at every line end reaches its
// file one whole line at a time, however long the line.
class LineBuffer : public std::streambuf {
 public:
  // Gathers for sink (not owned; may be null: then every flush fails).
  explicit LineBuffer(LogSink* sink = nullptr) : sink_(sink) {}
  // Points the buffer at another sink, dropping nothing already gathered.
  void setSink(LogSink* sink) { sink_ = sink; }
  // Drops what was gathered since the last flush, unwritten.
  void dropPending() { setp(pbase(), epptr()); }
  // Returns true once the buffer could not grow for what it was given.
  bool outOfMemory() const { return outOfMemory_; }
  // Makes the sink durable after a line whenever interval has passed on
  // clock since the last time (from this call on); a zero interval never.
  void syncEvery(std::chrono::steady_clock::duration interval,
                 std::function<std::chrono::steady_clock::time_point()> clock);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Makes room for extra more bytes; returns false, with what was gathered
  // kept as it was, when memory runs out.
  bool grow(std::size_t extra);
  // Moves the put position n bytes on, for any n (pbump takes an int).
  void advance(std::size_t n);

  LogSink* sink_;
  std::vector<char> buffer_;
  bool outOfMemory_ = false;
  std::chrono::steady_clock::duration syncInterval_{0};
  std::function<std::chrono::steady_clock::time_point()> clock_;
  std::chrono::steady_clock::time_point lastSync_;
};

// The run log: an output stream on a LogSink. Writes after a failure are
// skipped, as on any failed stream.
class LogFile : public std::ostream {
 public:
  // Opens a sink for a path; tests replace the file with one of their own.
  using Opener = std::function<std::unique_ptr<LogSink>(const char* path, LogError& error)>;
  // Supplies the current time: the steady clock, or a hand-moved one in tests.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Constructs a closed log: every write to it fails.
  LogFile();
  // Opens path with opener, keeping what the file holds; returns is_open().
  bool open(const char* path, const Opener& opener = openLogFile);
  // Returns true between a successful open and close.
  bool is_open() const { return sink_ != nullptr; }
  // Empties the file for this run's records; returns false on failure.
  bool truncate();
  // Keeps the file's first size bytes for this run to continue after, and
  // drops the rest; returns false on failure.
  bool cut(uint64_t size);
  // Returns a reader of what the file holds (see LogSink::reader); on
  // nullptr, error() tells whether reading failed or there is nothing to
  // read back (no error).
  std::unique_ptr<LogBytes> reader();
  // Makes the file durable after a line at least every interval of clock
  // time from now on (see LineBuffer::syncEvery), and at a close that is not
  // refused; durable false: never (for measuring what it costs).
  void syncEvery(std::chrono::steady_clock::duration interval, Clock clock, bool durable = true);
  // Writes what is pending, makes the file durable unless the run is refused
  // (or syncing is off), and releases it; returns false if any write, the
  // sync or the release failed. refused: the run wrote nothing and is giving up.
  bool close(bool refused = false);
  // Drops the part of a line not yet written, so that a run stopped in the
  // middle of a line (out of memory) leaves only whole lines.
  void dropPending() { buffer_.dropPending(); }
  // Returns the reason of the log's first failure (none when none is known;
  // ENOMEM when the stream could not hold a line).
  LogError error() const { return error_; }

 private:
  // Returns ok; when it is false, keeps the reason of the log's first failure
  // (the sink's, or ENOMEM) and fails the stream.
  bool recordFailure(bool ok);

  LineBuffer buffer_;
  std::unique_ptr<LogSink> sink_;
  LogError error_;
  bool durable_ = true;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_LOG_FILE_H
