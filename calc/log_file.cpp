// The run log's file and stream: opened without truncation and held for one
// run, emptied once the dialogue is done, written one whole line per write.
#include "calc/log_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "calc/platform.h"

namespace calc {

namespace {

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
  bool close(bool refused) override {
    const bool closed = platform::closeFile(fd_, path_.c_str(), refused && created_) || fail(errno);
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
    int fd = platform::openForWriting(path, false, kLogInUse);
    if (fd < 0 && errno == ENOENT) {
      fd = platform::openForWriting(path, true, kLogInUse);
      created = fd >= 0;
      if (fd < 0 && errno == EEXIST) {
        // Missing, yet there: a symbolic link to nothing, or a file another
        // run created in between, which this one then opens as it is.
        if (platform::isDanglingLink(path)) {
          errno = kLogDanglingLink;
          return nullptr;
        }
        continue;
      }
    }
    if (fd < 0) return nullptr;
    const platform::Hold hold = platform::holdExclusively(fd, path);
    if (hold == platform::Hold::held) return std::make_unique<FileSink>(fd, path, created);
    platform::closeFile(fd, path, false);  // a file this run created but another holds is that run's now
    if (hold == platform::Hold::inUse) {
      errno = kLogInUse;
      return nullptr;
    }
  }
  errno = kLogInUse;
  return nullptr;
}

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
  return written ? 0 : -1;
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

bool LogFile::truncate() { return sink_ != nullptr && recordFailure(sink_->truncate()); }

bool LogFile::close(bool refused) {
  if (!sink_) return false;
  flush();
  const bool written = recordFailure(!fail());  // a failed line write left its reason in the sink
  const bool released = recordFailure(sink_->close(refused));
  sink_.reset();
  buffer_.setSink(nullptr);
  setstate(std::ios::badbit);
  return written && released;
}

bool LogFile::recordFailure(bool ok) {
  if (!ok) {
    if (error_ == 0) error_ = buffer_.outOfMemory() ? ENOMEM : sink_->error();
    setstate(std::ios::badbit);
  }
  return ok;
}

}  // namespace calc
