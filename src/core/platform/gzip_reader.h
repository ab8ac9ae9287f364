// Streamed reading of a file, plain or gzip-compressed, in fixed-size steps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelrin::platform {

// Reads a file front to back without holding more than one buffer of it:
// plain files in 8 KiB reads, gzip files through a streamed inflate fed
// 32 KiB of compressed input at a time (concatenated gzip members are read
// one after the other). Not thread-safe; one reader per file.
class FileReader {
 public:
  enum class Status { kData, kEnd, kError };

  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // Opens the regular file at `path` for reading; false when it cannot be
  // opened or is not a regular file (a directory, device, FIFO or socket),
  // or when the path holds a NUL byte.
  bool open(const std::string& path, bool gzip);

  // The next bytes, replacing `out`: kData with at least one byte, kEnd when
  // the file (or the compressed stream) is over, kError when this read
  // failed (an I/O error, corrupt or truncated compressed data). After an
  // error the next call tries again; a caller decides when to give up.
  Status read(std::vector<char>& out);

 private:
  struct Inflater;
  Status read_plain(std::vector<char>& out);
  Status read_gzip(std::vector<char>& out);
  bool fill_input();

  int fd_ = -1;
  bool gzip_ = false;
  bool input_eof_ = false;
  bool stream_ended_ = false;  // the last gzip member ended at a member boundary
  Inflater* inflater_ = nullptr;
  std::vector<unsigned char> in_;
};

}  // namespace pelrin::platform
