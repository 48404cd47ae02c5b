// BinaryFile: numbered input files (1 to 254), read at 1-based positions a byte or a block at
// a time, or forward in pieces as they arrive (readAvailable), which is how every input, the
// symbols file included, is read.
//
// Contract, relied on by its readers:
// - Files are opened read-only and never created, truncated or written.
// - A read at or past the end of a file is not an error: every destination byte that the file
//   does not supply becomes 0, and the status is Ok.
// - Every operation records a FileStatus in lastFileStatus(). The errno of a failed open or of
//   a read error is kept separately, so that the caller can say why an input was unusable.
// - An input whose length cannot be measured (a pipe, a FIFO, a device) is read forward as it
//   arrives, and nothing of it is kept beyond the stream's buffer: fileLength gives -1 and a
//   positioned read or seek is refused (IoError), so it is read at the current position only.
// - Closing number 0 closes every file; the destructor closes whatever is still open.
#ifndef OPFREQ_FILEIN_BINARY_FILE_H_
#define OPFREQ_FILEIN_BINARY_FILE_H_

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

namespace opfreq {

enum class FileStatus { Ok = 0, BadCall = 1, NotFound = 2, IoError = 3 };

class BinaryFile {
 public:
  static constexpr int32_t kFirstNumber = 1;
  static constexpr int32_t kLastNumber = 254;

  BinaryFile() = default;
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  FileStatus openBinary(std::string_view name, int32_t number);
  // As openBinary, for a file nobody named that must be a regular one: anything else (a FIFO, a
  // device, a folder) is refused without waiting on it, and openRefusal() says what it is.
  FileStatus openRegular(std::string_view name, int32_t number);
  // The process's standard input, read like a pipe (or like a file when it is one).
  FileStatus openStandardInput(int32_t number);
  // Length in bytes; 0 when the number names no open file, -1 when the input cannot be
  // measured (its length is known only once it has been read to its end).
  int64_t fileLength(int32_t number);
  // Reads up to destination.size() bytes at the current position and says how many the input
  // delivered: fewer only at its end or on a read error. Nothing is set past them.
  size_t readAvailable(int32_t number, std::span<uint8_t> destination);
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
  // What the name of the last openRegular that failed is instead of a regular file ("a FIFO");
  // empty when it failed for openError().
  std::string_view openRefusal() const { return openRefusal_; }
  // errno of the first read error on an open file, 0 if none happened.
  int readError(int32_t number) const;

 private:
  struct Slot {
    std::FILE* stream = nullptr;
    bool seekable = false;
    int readError = 0;
  };

  enum class Source { Named, Regular, StandardInput };
  FileStatus open(std::string_view name, Source source, int32_t number);
  Slot* openSlot(int32_t number);
  FileStatus record(FileStatus status) { return lastFileStatus_ = status; }
  void close(Slot& slot);

  std::array<Slot, kLastNumber> slots_{};
  FileStatus lastFileStatus_ = FileStatus::Ok;
  int openError_ = 0;
  std::string_view openRefusal_;
};

// Whether anything (a file, a folder, a device) is found under `name`.
bool pathExists(std::string_view name);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_BINARY_FILE_H_
