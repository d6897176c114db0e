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
#include <vector>

#include "calc/platform/platform.h"

namespace calc {

namespace {

// The bytes of a file descriptor it owns. A read that fails keeps its
// reason and throws, which is how a stream buffer fails the stream reading it
// (badbit).
class ReadBuffer : public LogBytes {
 public:
  explicit ReadBuffer(int fd) : fd_(fd), buffer_(1 << 16) {}
  ~ReadBuffer() override { platform::closeDescriptor(fd_); }
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;
  int error() const override { return error_; }

 protected:
  int_type underflow() override {
    const long long n = platform::readSome(fd_, buffer_.data(), buffer_.size());
    if (n < 0) {
      error_ = errno;
      struct ReadFailed {};
      throw ReadFailed{};
    }
    if (n == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  int fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

// The log on a file descriptor.
class FileSink : public LogSink {
 public:
  FileSink(int fd, std::string path, bool created) : fd_(fd), path_(std::move(path)), created_(created) {}
  ~FileSink() override {
    if (fd_ >= 0) platform::closeFile(fd_, path_.c_str(), false);
  }
  bool write(const char* data, std::size_t size) override {
    std::string storage;
    const std::string_view bytes = platform::withSystemLineEnds(data, size, storage);
    // One write for the whole line; a short count (a disk filling up, a
    // file-size limit) is followed by the rest, which then reports the error.
    if (!platform::writeAll(fd_, bytes.data(), bytes.size())) {
      const int e = errno;
      // The part of the line that went out is taken back: the file ends in
      // whole lines, whatever stopped this one.
      platform::cutTo(fd_, end_);
      return fail(e);
    }
    end_ += static_cast<long long>(bytes.size());
    return true;
  }
  bool truncate() override {
    if (!platform::cutTo(fd_, 0)) return fail(errno);
    end_ = 0;
    return true;
  }
  bool cut(uint64_t size) override {
    if (!platform::isRegularFile(fd_)) return size == 0 || fail(ENOTSUP);
    const long long at = static_cast<long long>(size);
    // A file that already ends there is left as it is, its times included.
    if (platform::fileSize(fd_) == at ? platform::seekTo(fd_, at) : platform::cutTo(fd_, at)) {
      end_ = at;
      return true;
    }
    return fail(errno);
  }
  bool sync() override {
    if (!platform::isRegularFile(fd_)) return true;  // a device or a pipe keeps nothing
    if (!platform::syncFile(fd_)) return fail(errno);
    if (created_ && !directorySynced_) {
      platform::syncDirectoryOf(path_.c_str());
      directorySynced_ = true;
    }
    return true;
  }
  std::unique_ptr<LogBytes> reader() override {
    if (!platform::isRegularFile(fd_)) return nullptr;  // nothing was kept to read back
    const int fd = platform::openForReading(path_.c_str());
    if (fd < 0) {
      fail(errno);
      return nullptr;
    }
    // The name may stand for another file by now: only this one's bytes count.
    if (!platform::sameFile(fd, fd_)) {
      platform::closeDescriptor(fd);
      fail(LogError::Own::inUse);
      return nullptr;
    }
    return std::make_unique<ReadBuffer>(fd);
  }
  bool close(bool refused) override {
    const bool closed = platform::closeFile(fd_, path_.c_str(), refused && created_) || fail(errno);
    fd_ = -1;
    return closed;
  }

 private:
  bool fail(LogError e) {
    error_ = e;
    return false;
  }
  int fd_;
  std::string path_;
  bool created_;
  bool directorySynced_ = false;
  long long end_ = 0;  // where the last whole write ended: the file's offset
};

// The log on standard output (--log -): written as it comes, neither emptied
// nor cut back (what a pipe or an appended file holds is not the run's), never
// read back or closed.
class OutputSink : public LogSink {
 public:
  bool write(const char* data, std::size_t size) override {
    constexpr int kStandardOutput = 1;
    // A text stream where the system has them: its line ends are the system's.
    return platform::writeAll(kStandardOutput, data, size) || fail(errno);
  }
  bool truncate() override { return true; }
  bool cut(uint64_t size) override { return size == 0 || LogSink::cut(size); }
  bool sync() override {
    constexpr int kStandardOutput = 1;
    return !platform::isRegularFile(kStandardOutput) || platform::syncFile(kStandardOutput) || fail(errno);
  }
  bool close(bool) override { return true; }

 private:
  bool fail(int e) {
    error_ = e;
    return false;
  }
};

// How often openLogFile starts over when other runs change the name under it.
constexpr int kOpenAttempts = 16;

}  // namespace

std::unique_ptr<LogSink> openLogFile(const char* path, LogError& error) {
  if (std::strcmp(path, kLogToOutput) == 0) return std::make_unique<OutputSink>();
  // Another run may create, replace or remove the file between two of these
  // steps; then the open starts over with the name as it is now.
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    bool created = false;
    bool inUse = false;
    int fd = platform::openForWriting(path, false, inUse);
    if (fd < 0 && errno == ENOENT && !inUse) {
      fd = platform::openForWriting(path, true, inUse);
      created = fd >= 0;
      if (fd < 0 && errno == EEXIST && !inUse) {
        // Missing, yet there: a symbolic link to nothing, or a file another
        // run created in between, which this one then opens as it is.
        if (platform::isDanglingLink(path)) {
          error = LogError::Own::danglingLink;
          return nullptr;
        }
        continue;
      }
    }
    if (fd < 0) {
      error = inUse ? LogError(LogError::Own::inUse) : LogError(errno);
      return nullptr;
    }
    // The run's own console: its answers would be read back as the log is
    // written (a pipe that fills and waits for ever), or its messages mixed
    // into the log's lines.
    const int standard = platform::standardStreamOf(fd);
    if (standard >= 0) {
      platform::closeFile(fd, path, false);
      error = standard == 0 ? LogError::Own::isInput : LogError::Own::isOutput;
      return nullptr;
    }
    const platform::Hold hold = platform::holdExclusively(fd, path);
    if (hold == platform::Hold::held) return std::make_unique<FileSink>(fd, path, created);
    platform::closeFile(fd, path, false);  // a file this run created but another holds is that run's now
    if (hold == platform::Hold::inUse) {
      error = LogError::Own::inUse;
      return nullptr;
    }
  }
  error = LogError::Own::inUse;
  return nullptr;
}

std::unique_ptr<LogBytes> openForReading(const char* path, int& error) {
  const int fd = platform::openForReading(path);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  return std::make_unique<ReadBuffer>(fd);
}

const bool kLogFileCrLf = platform::kCrLfLineEnds;

bool LogSink::cut(uint64_t) {
  error_ = ENOTSUP;
  return false;
}

std::unique_ptr<LogBytes> LogSink::reader() { return nullptr; }

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
  advance(used);
  return true;
}

void LineBuffer::advance(std::size_t n) {
  for (std::size_t left = n; left > 0;) {  // pbump takes an int
    const int step = static_cast<int>(std::min<std::size_t>(left, INT_MAX));
    pbump(step);
    left -= static_cast<std::size_t>(step);
  }
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
  advance(size);
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
  error_ = LogError();
  sink_ = opener(path, error_);
  buffer_.setSink(sink_.get());
  if (!sink_) {
    setstate(std::ios::badbit);
    return false;
  }
  clear();
  return true;
}

bool LogFile::truncate() { return sink_ != nullptr && recordFailure(sink_->truncate()); }

bool LogFile::cut(uint64_t size) { return sink_ != nullptr && recordFailure(sink_->cut(size)); }

std::unique_ptr<LogBytes> LogFile::reader() {
  if (!sink_) return nullptr;
  auto r = sink_->reader();
  if (!r && sink_->error() && !error_) error_ = sink_->error();
  return r;
}

void LogFile::syncEvery(std::chrono::steady_clock::duration interval, Clock clock, bool durable) {
  durable_ = durable;
  buffer_.syncEvery(durable ? interval : std::chrono::steady_clock::duration::zero(), std::move(clock));
}

bool LogFile::close(bool refused) {
  if (!sink_) return false;
  flush();
  // Status 0 says the log holds every place: they must be on the disk first;
  // a failed line write left its reason in the sink.
  const bool written = recordFailure(!fail()) && (refused || !durable_ || recordFailure(sink_->sync()));
  const bool released = recordFailure(sink_->close(refused));
  sink_.reset();
  buffer_.setSink(nullptr);
  setstate(std::ios::badbit);
  return written && released;
}

bool LogFile::recordFailure(bool ok) {
  if (!ok) {
    if (!error_) error_ = buffer_.outOfMemory() ? LogError(ENOMEM) : sink_->error();
    setstate(std::ios::badbit);
  }
  return ok;
}

}  // namespace calc
