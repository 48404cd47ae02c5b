#include "filein/binary_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "filein/file_platform.h"

namespace opfreq {
namespace {

constexpr size_t kStreamBufferSize = 8192;

}  // namespace

BinaryFile::~BinaryFile() { closeFile(0); }

BinaryFile::Slot* BinaryFile::openSlot(int32_t number) {
  if (number < kFirstNumber || number > kLastNumber) return nullptr;
  Slot& slot = slots_[static_cast<size_t>(number - 1)];
  return slot.stream != nullptr ? &slot : nullptr;
}

int BinaryFile::readError(int32_t number) const {
  if (number < kFirstNumber || number > kLastNumber) return 0;
  return slots_[static_cast<size_t>(number - 1)].readError;
}

void BinaryFile::close(Slot& slot) {
  if (slot.stream != nullptr) std::fclose(slot.stream);
  slot = Slot{};
}

FileStatus BinaryFile::openBinary(std::string_view name, int32_t number) {
  return open(name, Source::Named, number);
}

FileStatus BinaryFile::openRegular(std::string_view name, int32_t number) {
  return open(name, Source::Regular, number);
}

FileStatus BinaryFile::openStandardInput(int32_t number) {
  return open("", Source::StandardInput, number);
}

FileStatus BinaryFile::open(std::string_view name, Source source, int32_t number) {
  if (number < kFirstNumber || number > kLastNumber) return record(FileStatus::BadCall);
  Slot& slot = slots_[static_cast<size_t>(number - 1)];
  if (slot.stream != nullptr) return record(FileStatus::BadCall);
  slot = Slot{};
  const OpenedStream opened = source == Source::StandardInput
                                  ? opfreq::openStandardInput()
                                  : openForReading(name, source == Source::Regular);
  if (opened.stream == nullptr) {
    openError_ = opened.irregular.empty() ? opened.error : 0;
    openRefusal_ = opened.irregular;
    return record(FileStatus::NotFound);
  }
  std::setvbuf(opened.stream, nullptr, _IOFBF, kStreamBufferSize);
  slot.stream = opened.stream;
  slot.seekable = opened.seekable;
  return record(FileStatus::Ok);
}

int64_t BinaryFile::fileLength(int32_t number) {
  Slot* slot = openSlot(number);
  if (slot == nullptr) return 0;
  record(FileStatus::Ok);
  if (!slot->seekable) return -1;
  const int64_t current = tellStream(slot->stream);
  if (current < 0 || !seekStream(slot->stream, 0, SEEK_END)) {
    record(FileStatus::IoError);
    return 0;
  }
  const int64_t length = tellStream(slot->stream);
  seekStream(slot->stream, current, SEEK_SET);
  return length < 0 ? 0 : length;
}

size_t BinaryFile::readAvailable(int32_t number, std::span<uint8_t> destination) {
  Slot* slot = openSlot(number);
  if (slot == nullptr) {
    record(FileStatus::BadCall);
    return 0;
  }
  record(FileStatus::Ok);
  errno = 0;
  const size_t delivered = std::fread(destination.data(), 1, destination.size(), slot->stream);
  if (delivered < destination.size() && std::ferror(slot->stream)) {
    if (slot->readError == 0) slot->readError = errno != 0 ? errno : EIO;
    std::clearerr(slot->stream);
  }
  return delivered;
}

FileStatus BinaryFile::readBytes(int32_t number, int32_t position, std::span<uint8_t> destination) {
  if (openSlot(number) == nullptr) return record(FileStatus::BadCall);
  if (position >= 1 && seekTo(number, position) != FileStatus::Ok) return FileStatus::IoError;
  const size_t delivered = readAvailable(number, destination);
  std::fill(destination.begin() + static_cast<std::ptrdiff_t>(delivered), destination.end(),
            uint8_t{0});
  return record(FileStatus::Ok);
}

FileStatus BinaryFile::readByteAt(int32_t number, int32_t position, uint8_t& byte) {
  return readBytes(number, position, std::span<uint8_t>(&byte, 1));
}

FileStatus BinaryFile::readNextByte(int32_t number, uint8_t& byte) {
  return readByteAt(number, 0, byte);
}

FileStatus BinaryFile::seekTo(int32_t number, int32_t position) {
  Slot* slot = openSlot(number);
  if (slot == nullptr) return record(FileStatus::BadCall);
  const int64_t offset = int64_t{position} - 1;
  if (offset < 0 || !slot->seekable || !seekStream(slot->stream, offset, SEEK_SET)) {
    return record(FileStatus::IoError);
  }
  return record(FileStatus::Ok);
}

FileStatus BinaryFile::closeFile(int32_t number) {
  if (number == 0) {
    for (Slot& slot : slots_) close(slot);
    return record(FileStatus::Ok);
  }
  Slot* slot = openSlot(number);
  if (slot == nullptr) return record(FileStatus::BadCall);
  close(*slot);
  return record(FileStatus::Ok);
}

}  // namespace opfreq
