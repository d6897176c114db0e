// The run log's file and stream: opened without truncation, emptied once the
// dialogue is done, written one whole line per write.
#include "calc/log_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <fcntl.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace calc {

namespace {

// The few file operations the log needs, on a descriptor; each failure leaves
// its reason in errno.
#ifdef _WIN32
// Windows files are opened binary and the sink writes CR LF itself, so that a
// line and its end still go out in a single write.
constexpr bool kCrLf = true;
int openForWriting(const char* path, bool create) {
  const int flags = _O_WRONLY | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
  return _open(path, flags, _S_IREAD | _S_IWRITE);
}
long long writeSome(int fd, const char* p, std::size_t size) {
  return _write(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
bool isRegularFile(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) != 0 || (st.st_mode & _S_IFREG) != 0;
}
bool emptyFile(int fd) {
  errno = _chsize_s(fd, 0);
  return errno == 0;
}
bool closeFile(int fd) { return _close(fd) == 0; }
void removeFile(const char* path) { _unlink(path); }
#else
constexpr bool kCrLf = false;
int openForWriting(const char* path, bool create) {
  return open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0), 0666);
}
long long writeSome(int fd, const char* p, std::size_t size) { return write(fd, p, size); }
bool isRegularFile(int fd) {
  struct stat st;
  return fstat(fd, &st) != 0 || S_ISREG(st.st_mode);
}
bool emptyFile(int fd) { return ftruncate(fd, 0) == 0; }
bool closeFile(int fd) { return close(fd) == 0; }
void removeFile(const char* path) { unlink(path); }
#endif

// The log on a file descriptor.
class FileSink : public LogSink {
 public:
  FileSink(int fd, std::string path, bool created) : fd_(fd), path_(std::move(path)), created_(created) {}
  ~FileSink() override {
    if (fd_ >= 0) closeFile(fd_);
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
    // One write for the whole line; a short count (a disk filling up) is
    // followed by the rest, which then reports the error.
    while (size > 0) {
      const long long n = writeSome(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool truncate() override {
    // A device or a pipe has nothing to empty.
    return !isRegularFile(fd_) || emptyFile(fd_) || fail(errno);
  }
  bool close(bool refused) override {
    const bool closed = closeFile(fd_) || fail(errno);
    fd_ = -1;
    if (refused && created_) removeFile(path_.c_str());
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
};

}  // namespace

std::unique_ptr<LogSink> openLogFile(const char* path) {
  bool created = false;
  int fd = openForWriting(path, false);
  if (fd < 0 && errno == ENOENT) {
    fd = openForWriting(path, true);
    created = fd >= 0;
  }
  if (fd < 0) return nullptr;
  return std::make_unique<FileSink>(fd, path, created);
}

// --- LineBuffer -------------------------------------------------------------------

void LineBuffer::grow(std::size_t extra) {
  const std::size_t used = static_cast<std::size_t>(pptr() - pbase());
  buffer_.resize(std::max({buffer_.size() * 2, used + extra, std::size_t{256}}));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  for (std::size_t left = used; left > 0;) {  // pbump takes an int
    const int step = static_cast<int>(std::min<std::size_t>(left, INT_MAX));
    pbump(step);
    left -= static_cast<std::size_t>(step);
  }
}

LineBuffer::int_type LineBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  grow(1);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize LineBuffer::xsputn(const char* s, std::streamsize n) {
  if (n <= 0) return 0;
  const std::size_t size = static_cast<std::size_t>(n);
  if (static_cast<std::size_t>(epptr() - pptr()) < size) grow(size);
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
  const bool written = sink_ != nullptr && sink_->write(pbase(), size);
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

bool LogFile::truncate() { return sink_ != nullptr && note(sink_->truncate()); }

bool LogFile::close(bool refused) {
  if (!sink_) return false;
  flush();
  const bool written = note(!fail());  // a failed line write left its reason in the sink
  const bool released = note(sink_->close(refused));
  sink_.reset();
  buffer_.setSink(nullptr);
  setstate(std::ios::badbit);
  return written && released;
}

bool LogFile::note(bool ok) {
  if (!ok) {
    if (error_ == 0) error_ = sink_->error();
    setstate(std::ios::badbit);
  }
  return ok;
}

}  // namespace calc
