#include "filein/binary_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace opfreq {
namespace {

namespace fs = std::filesystem;

class BinaryFileTest : public ::testing::Test {
 protected:
  std::string make(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  testing::ScratchDirectory scratch_{"reader"};
  const fs::path& dir_ = scratch_.path();
  BinaryFile files_{1000};
};

TEST_F(BinaryFileTest, ReadsPastTheEndGiveZero) {
  ASSERT_EQ(files_.openBinary(make("one.bin", "\x7F"), 1), FileStatus::Ok);
  EXPECT_EQ(files_.fileLength(1), 1);
  uint8_t b = 0;
  EXPECT_EQ(files_.readByteAt(1, 1, b), FileStatus::Ok);
  EXPECT_EQ(b, 0x7F);
  EXPECT_EQ(files_.seekTo(1, 1), FileStatus::Ok);
  EXPECT_EQ(files_.readNextByte(1, b), FileStatus::Ok);
  EXPECT_EQ(b, 0x7F);
  for (int i = 0; i < 3; ++i) {
    b = 0x55;
    EXPECT_EQ(files_.readNextByte(1, b), FileStatus::Ok);
    EXPECT_EQ(b, 0);
  }
  b = 0x55;
  EXPECT_EQ(files_.readByteAt(1, 100, b), FileStatus::Ok);
  EXPECT_EQ(b, 0);
  uint8_t block[4] = {9, 9, 9, 9};
  EXPECT_EQ(files_.readBytes(1, 1, block), FileStatus::Ok);
  EXPECT_EQ(std::vector<uint8_t>(block, block + 4), (std::vector<uint8_t>{0x7F, 0, 0, 0}));
}

TEST_F(BinaryFileTest, PositionsAreOneBasedAndKeptAcrossCalls) {
  ASSERT_EQ(files_.openBinary(make("abc.bin", std::string("\x0D\x0A\x1A"
                                                          "d",
                                                          4)),
                              1),
            FileStatus::Ok);
  uint8_t b = 0;
  files_.readByteAt(1, 2, b);
  EXPECT_EQ(b, 0x0A);
  EXPECT_EQ(files_.fileLength(1), 4);  // leaves the position alone
  files_.readByteAt(1, 0, b);          // 0 or less: the current position
  EXPECT_EQ(b, 0x1A);
  EXPECT_EQ(files_.seekTo(1, 0), FileStatus::IoError);
  EXPECT_EQ(files_.readByteAt(1, 1, b), FileStatus::Ok);
  EXPECT_EQ(b, 0x0D);
  EXPECT_EQ(files_.seekTo(1, -5), FileStatus::IoError);
  files_.readNextByte(1, b);
  EXPECT_EQ(b, 0x0A);
  EXPECT_EQ(files_.readByteAt(1, -3, b), FileStatus::Ok);
  EXPECT_EQ(b, 0x1A);
}

TEST_F(BinaryFileTest, SlotsRefuseBadCalls) {
  const std::string name = make("x.bin", "xy");
  ASSERT_EQ(files_.openBinary(name, 1), FileStatus::Ok);
  uint8_t b = 0;
  files_.readNextByte(1, b);
  EXPECT_EQ(files_.openBinary(name, 1), FileStatus::BadCall);
  files_.readNextByte(1, b);
  EXPECT_EQ(b, 'y');  // the first open is untouched
  EXPECT_EQ(files_.openBinary(name, 0), FileStatus::BadCall);
  EXPECT_EQ(files_.openBinary(name, 255), FileStatus::BadCall);
  b = 7;
  EXPECT_EQ(files_.readNextByte(2, b), FileStatus::BadCall);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(files_.fileLength(2), 0);
  EXPECT_EQ(files_.closeFile(2), FileStatus::BadCall);
  EXPECT_EQ(files_.closeFile(0), FileStatus::Ok);
  EXPECT_EQ(files_.closeFile(0), FileStatus::Ok);
  EXPECT_EQ(files_.fileLength(1), 0);
}

TEST_F(BinaryFileTest, NeverCreatesOrChangesAFile) {
  const fs::path missing = dir_ / "missing.bin";
  EXPECT_EQ(files_.openBinary(missing.string(), 1), FileStatus::NotFound);
  EXPECT_EQ(files_.openError(), ENOENT);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(files_.fileLength(1), 0);
  EXPECT_EQ(files_.openBinary(dir_.string(), 1), FileStatus::NotFound);
  EXPECT_EQ(files_.openError(), EISDIR);

  const std::string name = make("keep.bin", "keep");
  const auto before = fs::last_write_time(name);
  ASSERT_EQ(files_.openBinary(name, 3), FileStatus::Ok);
  uint8_t block[8] = {};
  files_.readBytes(3, 1, block);
  files_.closeFile(0);
  EXPECT_EQ(fs::file_size(name), 4u);
  EXPECT_EQ(fs::last_write_time(name), before);
}

TEST_F(BinaryFileTest, PipesAreReadWholeUpToTheLimit) {
  for (const size_t size : {size_t{3}, size_t{1000}, size_t{5000}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string data(size, 'p');
    ASSERT_EQ(::write(fds[1], data.data(), std::min<size_t>(size, 4096)),
              static_cast<ssize_t>(std::min<size_t>(size, 4096)));
    ::close(fds[1]);
    BinaryFile files(1000);
    ASSERT_EQ(files.openBinary("/dev/fd/" + std::to_string(fds[0]), 1), FileStatus::Ok);
    ::close(fds[0]);
    EXPECT_EQ(files.fileLength(1), static_cast<int64_t>(std::min<size_t>(size, 1000)));
    uint8_t b = 0;
    files.readByteAt(1, 3, b);
    EXPECT_EQ(b, 'p');
    files.readByteAt(1, 1001, b);
    EXPECT_EQ(b, 0);
  }
}

}  // namespace
}  // namespace opfreq

namespace opfreq {
namespace {

TEST_F(BinaryFileTest, AFileThatChangesAfterItWasMeasured) {
  const std::string name = make("moving.bin", std::string(100, 'a'));
  ASSERT_EQ(files_.openBinary(name, 1), FileStatus::Ok);
  ASSERT_EQ(files_.fileLength(1), 100);
  fs::resize_file(name, 10);
  uint8_t block[100];
  EXPECT_EQ(files_.readBytes(1, 1, block), FileStatus::Ok);
  EXPECT_EQ(block[9], 'a');
  // What is gone reads as 0, unless the stream had buffered it already; never anything else.
  for (const uint8_t b : block) EXPECT_TRUE(b == 'a' || b == 0);
  std::ofstream(name, std::ios::binary | std::ios::app) << std::string(200, 'b');  // grows
  EXPECT_EQ(files_.fileLength(1), 210);  // measured afresh
  EXPECT_EQ(files_.readBytes(1, 11, std::span<uint8_t>(block, 5)), FileStatus::Ok);
  EXPECT_EQ(block[0], 'b');
  EXPECT_EQ(files_.readError(1), 0);
}

}  // namespace
}  // namespace opfreq
