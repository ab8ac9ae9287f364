// File reading over POSIX reads and zlib's streamed inflate.
#include "core/platform/gzip_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace pelrin::platform {

namespace {
constexpr std::size_t kPlainBuffer = 8 * 1024;
constexpr std::size_t kCompressedBuffer = 32 * 1024;
constexpr std::size_t kInflatedBuffer = 64 * 1024;
}  // namespace

struct FileReader::Inflater {
  z_stream zs{};
  bool ready = false;
};

FileReader::~FileReader() {
  if (inflater_ != nullptr) {
    if (inflater_->ready) inflateEnd(&inflater_->zs);
    delete inflater_;
  }
  if (fd_ >= 0) close(fd_);
}

bool FileReader::open(const std::string& path, bool gzip) {
  if (path.find('\0') != std::string::npos) return false;
  // Non-blocking so that a FIFO cannot stall the open; only regular files
  // are read (a device such as /dev/zero would never end).
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat info;
  if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  gzip_ = gzip;
  if (gzip_) {
    inflater_ = new Inflater();
    // 16 + window bits: gzip framing only.
    if (inflateInit2(&inflater_->zs, 16 + MAX_WBITS) != Z_OK) return false;
    inflater_->ready = true;
    in_.resize(kCompressedBuffer);
  }
  return true;
}

FileReader::Status FileReader::read(std::vector<char>& out) {
  if (fd_ < 0) return Status::kError;
  return gzip_ ? read_gzip(out) : read_plain(out);
}

FileReader::Status FileReader::read_plain(std::vector<char>& out) {
  out.resize(kPlainBuffer);
  ssize_t n;
  do {
    n = ::read(fd_, out.data(), out.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    out.clear();
    return Status::kError;
  }
  out.resize(static_cast<std::size_t>(n));
  return n == 0 ? Status::kEnd : Status::kData;
}

// Reads more compressed input into the buffer; false on a read error.
bool FileReader::fill_input() {
  z_stream& zs = inflater_->zs;
  ssize_t n;
  do {
    n = ::read(fd_, in_.data(), in_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  if (n == 0) input_eof_ = true;
  zs.next_in = in_.data();
  zs.avail_in = static_cast<uInt>(n);
  return true;
}

FileReader::Status FileReader::read_gzip(std::vector<char>& out) {
  z_stream& zs = inflater_->zs;
  out.resize(kInflatedBuffer);
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  for (;;) {
    if (zs.avail_in == 0 && !input_eof_) {
      if (!fill_input()) {
        out.resize(out.size() - zs.avail_out);
        return out.empty() ? Status::kError : Status::kData;
      }
    }
    if (zs.avail_in == 0 && input_eof_) {
      out.resize(out.size() - zs.avail_out);
      if (!out.empty()) return Status::kData;
      // The input ended inside a member: the file is truncated.
      return stream_ended_ ? Status::kEnd : Status::kError;
    }
    stream_ended_ = false;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      // Another member may follow.
      stream_ended_ = true;
      if (inflateReset(&zs) != Z_OK) return Status::kError;
      if (zs.avail_in == 0 && !input_eof_ && !fill_input()) {
        out.resize(out.size() - zs.avail_out);
        return out.empty() ? Status::kError : Status::kData;
      }
      if (zs.avail_in == 0) {
        out.resize(out.size() - zs.avail_out);
        return out.empty() ? Status::kEnd : Status::kData;
      }
      continue;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      out.resize(out.size() - zs.avail_out);
      return out.empty() ? Status::kError : Status::kData;
    }
    if (zs.avail_out == 0) return Status::kData;
  }
}

}  // namespace pelrin::platform
