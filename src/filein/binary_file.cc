#include "filein/binary_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "filein/file_platform.h"

namespace opfreq {
namespace {

constexpr size_t kStreamBufferSize = 8192;

}  // namespace

BinaryFile::BinaryFile(size_t spoolLimit) : spoolLimit_(spoolLimit) {}

BinaryFile::~BinaryFile() { closeFile(0); }

BinaryFile::Slot* BinaryFile::openSlot(int32_t number) {
  if (number < kFirstNumber || number > kLastNumber) return nullptr;
  Slot* slot = slots_[static_cast<size_t>(number - 1)].get();
  return slot != nullptr && slot->isOpen() ? slot : nullptr;
}

int BinaryFile::readError(int32_t number) const {
  if (number < kFirstNumber || number > kLastNumber) return 0;
  const Slot* slot = slots_[static_cast<size_t>(number - 1)].get();
  return slot != nullptr ? slot->readError : 0;
}

void BinaryFile::close(Slot& slot) {
  if (slot.stream != nullptr) std::fclose(slot.stream);
  slot = Slot{};
}

FileStatus BinaryFile::openBinary(std::string_view name, int32_t number) {
  return open(name, false, number);
}

FileStatus BinaryFile::openStandardInput(int32_t number) { return open("", true, number); }

FileStatus BinaryFile::open(std::string_view name, bool standardInput, int32_t number) {
  if (number < kFirstNumber || number > kLastNumber) return record(FileStatus::BadCall);
  auto& owned = slots_[static_cast<size_t>(number - 1)];
  if (owned == nullptr) owned = std::make_unique<Slot>();
  Slot& slot = *owned;
  if (slot.isOpen()) return record(FileStatus::BadCall);
  slot = Slot{};
  const OpenedStream opened = standardInput ? opfreq::openStandardInput() : openForReading(name);
  if (opened.stream == nullptr) {
    openError_ = opened.error;
    return record(FileStatus::NotFound);
  }
  std::setvbuf(opened.stream, nullptr, _IOFBF, kStreamBufferSize);
  if (opened.seekable) {
    slot.stream = opened.stream;
    return record(FileStatus::Ok);
  }
  // A pipe can be read only once and has no length until it ends: keep what it delivers.
  slot.spooled = true;
  uint8_t chunk[kStreamBufferSize];
  while (slot.bytes.size() < spoolLimit_) {
    const size_t wanted = std::min(sizeof chunk, spoolLimit_ - slot.bytes.size());
    errno = 0;
    const size_t got = std::fread(chunk, 1, wanted, opened.stream);
    slot.bytes.insert(slot.bytes.end(), chunk, chunk + got);
    if (got < wanted) {
      if (std::ferror(opened.stream)) slot.readError = errno != 0 ? errno : EIO;
      break;
    }
  }
  std::fclose(opened.stream);
  return record(FileStatus::Ok);
}

int64_t BinaryFile::fileLength(int32_t number) {
  Slot* slot = openSlot(number);
  if (slot == nullptr) return 0;
  if (slot->spooled) {
    record(FileStatus::Ok);
    return static_cast<int64_t>(slot->bytes.size());
  }
  const int64_t current = tellStream(slot->stream);
  if (current < 0 || !seekStream(slot->stream, 0, SEEK_END)) {
    record(FileStatus::IoError);
    return 0;
  }
  const int64_t length = tellStream(slot->stream);
  seekStream(slot->stream, current, SEEK_SET);
  record(FileStatus::Ok);
  return length < 0 ? 0 : length;
}

FileStatus BinaryFile::readBytes(int32_t number, int32_t position, std::span<uint8_t> destination) {
  Slot* slot = openSlot(number);
  if (slot == nullptr) return record(FileStatus::BadCall);
  record(FileStatus::Ok);
  if (position >= 1 && seekTo(number, position) != FileStatus::Ok) return FileStatus::IoError;
  size_t delivered = 0;
  if (slot->spooled) {
    const int64_t available = static_cast<int64_t>(slot->bytes.size()) - slot->offset;
    delivered = available > 0 ? std::min(destination.size(), static_cast<size_t>(available)) : 0;
    if (delivered > 0) {
      std::copy_n(slot->bytes.begin() + slot->offset, delivered, destination.begin());
    }
    slot->offset += static_cast<int64_t>(delivered);
  } else {
    errno = 0;
    delivered = std::fread(destination.data(), 1, destination.size(), slot->stream);
    if (delivered < destination.size() && std::ferror(slot->stream)) {
      if (slot->readError == 0) slot->readError = errno != 0 ? errno : EIO;
      std::clearerr(slot->stream);
    }
  }
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
  if (offset < 0) return record(FileStatus::IoError);
  if (slot->spooled) {
    slot->offset = offset;
  } else if (!seekStream(slot->stream, offset, SEEK_SET)) {
    return record(FileStatus::IoError);
  }
  return record(FileStatus::Ok);
}

FileStatus BinaryFile::closeFile(int32_t number) {
  if (number == 0) {
    for (auto& slot : slots_) {
      if (slot != nullptr) close(*slot);
    }
    return record(FileStatus::Ok);
  }
  Slot* slot = openSlot(number);
  if (slot == nullptr) return record(FileStatus::BadCall);
  close(*slot);
  return record(FileStatus::Ok);
}

}  // namespace opfreq
