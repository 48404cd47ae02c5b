// BinaryFile: numbered input files (1 to 254) read byte by byte at 1-based positions.
//
// Contract, relied on by the analyzer:
// - Files are opened read-only and never created, truncated or written.
// - A read at or past the end of a file is not an error: every destination byte that the file
//   does not supply becomes 0, and the status is Ok.
// - Every operation records a FileStatus in lastFileStatus(). The errno of a failed open or of
//   a read error is kept separately, so that the caller can say why an input was unusable.
// - An input whose length cannot be measured (a pipe, a FIFO, a device) is read whole into
//   memory when it is opened, at most `spoolLimit` bytes; its length is what was read.
// - Closing number 0 closes every file; the destructor closes whatever is still open.
#ifndef OPFREQ_FILEIN_BINARY_FILE_H_
#define OPFREQ_FILEIN_BINARY_FILE_H_

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace opfreq {

enum class FileStatus { Ok = 0, BadCall = 1, NotFound = 2, IoError = 3 };

class BinaryFile {
 public:
  static constexpr int32_t kFirstNumber = 1;
  static constexpr int32_t kLastNumber = 254;

  explicit BinaryFile(size_t spoolLimit);
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  FileStatus openBinary(std::string_view name, int32_t number);
  // The process's standard input, read like a pipe (or like a file when it is one).
  FileStatus openStandardInput(int32_t number);
  // Length in bytes; 0 when the number names no open file.
  int64_t fileLength(int32_t number);
  // Reads destination.size() bytes. A position of 1 or more seeks first; 0 or less reads at the
  // current position.
  FileStatus readBytes(int32_t number, int32_t position, std::span<uint8_t> destination);
  FileStatus readByteAt(int32_t number, int32_t position, uint8_t& byte);
  FileStatus readNextByte(int32_t number, uint8_t& byte);
  FileStatus seekTo(int32_t number, int32_t position);
  FileStatus closeFile(int32_t number);

  FileStatus lastFileStatus() const { return lastFileStatus_; }
  // errno of the last open that failed.
  int openError() const { return openError_; }
  // errno of the first read error on an open file, 0 if none happened.
  int readError(int32_t number) const;

 private:
  struct Slot {
    std::FILE* stream = nullptr;  // seekable files are read through their stream
    bool spooled = false;         // unmeasurable inputs are held in `bytes` instead
    std::vector<uint8_t> bytes;
    int64_t offset = 0;  // current offset of a spooled input
    int readError = 0;
    bool isOpen() const { return stream != nullptr || spooled; }
  };

  FileStatus open(std::string_view name, bool standardInput, int32_t number);
  Slot* openSlot(int32_t number);
  FileStatus record(FileStatus status) { return lastFileStatus_ = status; }
  void close(Slot& slot);

  size_t spoolLimit_;
  std::array<std::unique_ptr<Slot>, kLastNumber> slots_{};  // made on first open
  FileStatus lastFileStatus_ = FileStatus::Ok;
  int openError_ = 0;
};

// Whether anything (a file, a folder, a device) is found under `name`.
bool pathExists(std::string_view name);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_BINARY_FILE_H_
