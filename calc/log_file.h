// The run log as a stream: its file is checked before the dialogue without
// being changed, emptied only when a run starts computing, and receives each
// line whole, with its line end, in a single write.
#ifndef LONGSQRT_CALC_LOG_FILE_H
#define LONGSQRT_CALC_LOG_FILE_H

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

namespace calc {

// Where the log's bytes go: a file, or what a test puts in its place. Each
// operation returns false on failure and leaves the system's error number in
// error().
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Writes all size bytes in one write; anything less is a failure.
  virtual bool write(const char* data, std::size_t size) = 0;
  // Empties what the sink held before this run.
  virtual bool truncate() = 0;
  // Releases the sink; a refused run (nothing written) removes a file that
  // opening it created, so that the run leaves no trace.
  virtual bool close(bool refused) = 0;
  // Returns the error number of the last failure (0 when none is known).
  int error() const { return error_; }

 protected:
  int error_ = 0;
};

// Opens path for writing without truncating it, creating it if it is missing.
// Returns nullptr, with the reason in errno, when the file cannot be opened.
std::unique_ptr<LogSink> openLogFile(const char* path);

// A stream buffer that gathers everything written to it and hands it to its
// sink in one write at each flush: a log flushed at every line end reaches its
// file one whole line at a time, however long the line.
class LineBuffer : public std::streambuf {
 public:
  // Gathers for sink (not owned; may be null: then every flush fails).
  explicit LineBuffer(LogSink* sink = nullptr) : sink_(sink) {}
  // Points the buffer at another sink, dropping nothing already gathered.
  void setSink(LogSink* sink) { sink_ = sink; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void grow(std::size_t extra);

  LogSink* sink_;
  std::vector<char> buffer_;
};

// The run log: an output stream on a LogSink. Writes after a failure are
// skipped, as on any failed stream.
class LogFile : public std::ostream {
 public:
  // Opens a sink for a path; tests replace the file with one of their own.
  using Opener = std::function<std::unique_ptr<LogSink>(const char* path)>;

  // Constructs a closed log: every write to it fails.
  LogFile();
  // Opens path with opener, keeping what the file holds; returns is_open().
  bool open(const char* path, const Opener& opener = openLogFile);
  // Returns true between a successful open and close.
  bool is_open() const { return sink_ != nullptr; }
  // Empties the file for this run's records; returns false on failure.
  bool truncate();
  // Writes what is pending and releases the file; returns false if any write
  // or the release failed. refused: the run wrote nothing and is giving up.
  bool close(bool refused = false);
  // Returns the error number of the log's first failure (0 when none is known).
  int error() const { return error_; }

 private:
  // Records the sink's reason for the first failure and fails the stream.
  bool note(bool ok);

  LineBuffer buffer_;
  std::unique_ptr<LogSink> sink_;
  int error_ = 0;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_LOG_FILE_H
