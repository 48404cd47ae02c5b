#include "filein/binary_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace opfreq {
namespace {

namespace fs = std::filesystem;

class BinaryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/opfreq_reader_XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string make(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  uint8_t at(int32_t position) {
    uint8_t b = 0x55;
    EXPECT_EQ(files_.readByteAt(1, position, b), FileStatus::Ok);
    return b;
  }

  fs::path dir_;
  BinaryFile files_;
};

TEST_F(BinaryFileTest, ReadsAtOneBasedPositionsAndZeroPastTheEnd) {
  ASSERT_EQ(files_.openBinary(make("four.bin", std::string("\x0D\x0A\x1A\x7F", 4)), 1),
            FileStatus::Ok);
  EXPECT_EQ(at(2), 0x0A);
  EXPECT_EQ(files_.fileLength(1), 4);  // leaves the position alone
  EXPECT_EQ(at(0), 0x1A);              // 0 or less: the current position
  EXPECT_EQ(files_.seekTo(1, 0), FileStatus::IoError);
  EXPECT_EQ(at(-3), 0x7F);
  EXPECT_EQ(at(0), 0x00);  // past the end, any number of times
  EXPECT_EQ(at(0), 0x00);
  EXPECT_EQ(at(100), 0x00);
  EXPECT_EQ(files_.seekTo(1, 1), FileStatus::Ok);
  EXPECT_EQ(at(0), 0x0D);
  uint8_t block[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(files_.readBytes(1, 3, block), FileStatus::Ok);
  EXPECT_EQ(std::vector<uint8_t>(block, block + 6), (std::vector<uint8_t>{0x1A, 0x7F, 0, 0, 0, 0}));
  EXPECT_EQ(files_.readError(1), 0);
}

TEST_F(BinaryFileTest, NeverCreatesOrChangesAFile) {
  EXPECT_EQ(files_.openBinary((dir_ / "missing.bin").string(), 1), FileStatus::NotFound);
  EXPECT_EQ(files_.openError(), ENOENT);
  EXPECT_FALSE(fs::exists(dir_ / "missing.bin"));
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

}  // namespace
}  // namespace opfreq
