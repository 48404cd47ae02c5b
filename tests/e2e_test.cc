// The built binary, run as a user runs it, compared byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "process_support.h"
#include "test_support.h"

namespace opfreq {
namespace {

namespace fs = std::filesystem;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::readFile;
using testing::runOpfreqBinary;
using testing::StdinKind;
using testing::StdoutKind;

const fs::path kSamples = OPFREQ_SAMPLES_DIR;

TEST(EndToEnd, EverySampleReportIsByteIdentical) {
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(kSamples)) {
    if (entry.path().extension() != ".bin") continue;
    const std::string name = entry.path().filename().string();
    const ProcessResult r =
        runOpfreqBinary({.args = {name}, .workingDirectory = kSamples.string()});
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    EXPECT_EQ(r.out, readFile(expected.string())) << name;
    EXPECT_EQ(r.err, "") << name;
    EXPECT_EQ(r.exitStatus, 0) << name;
    ++compared;
  }
  EXPECT_GE(compared, 22);
}

TEST(EndToEnd, UsagePathWritesTheExactTextAndEndsAtEndOfInput) {
  const std::string usage = readFile((kSamples / "usage.expected").string());
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {""}}) {
    const ProcessResult r = runOpfreqBinary({.args = args});
    EXPECT_EQ(r.out, usage);
    EXPECT_EQ(r.exitStatus, 0);
  }
  // A pipe with a key, a pipe that ends at once, a file: the wait ends without blocking.
  const ProcessOptions others[] = {
      {.stdinKind = StdinKind::Bytes, .stdinBytes = "q"},
      {.stdinKind = StdinKind::Bytes, .stdinBytes = ""},
      {.stdinKind = StdinKind::File, .stdinBytes = (kSamples / "demo.bin").string()},
  };
  for (const ProcessOptions& options : others) {
    const ProcessResult r = runOpfreqBinary(options);
    EXPECT_EQ(r.out, usage);
    EXPECT_EQ(r.exitStatus, 0);
  }
}

class GeneratedInput : public ::testing::Test {
 protected:
  // Runs opfreq in the scratch folder on a file made of `bytes`.
  ProcessResult analyse(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return runOpfreqBinary({.args = {name}, .workingDirectory = dir_.string()});
  }
  static bool hasLine(const std::string& report, const std::string& line) {
    return report.find("\n" + line + "\r\n") != std::string::npos;
  }

  testing::ScratchDirectory scratch_{"e2e"};
  const fs::path& dir_ = scratch_.path();
};

TEST_F(GeneratedInput, SharesThatDoNotFitTheFieldAreScaled) {
  const ProcessResult one = analyse("one.bin", "\x02");
  EXPECT_TRUE(hasLine(one.out, "Total size of code: 1"));
  EXPECT_TRUE(hasLine(one.out, "02  LJMP addr               3     1     3 30.00%e+1%"));
  EXPECT_TRUE(hasLine(one.out, "00  NOP (or byte 00h)       1     0     0  0.00%"));
  EXPECT_TRUE(hasLine(one.out, "first 3 opcodes: 30.00%e+1%"));
  EXPECT_TRUE(hasLine(one.out, "most popular calls are:")) << one.out;

  const ProcessResult full = analyse("ff.bin", std::string(65536, '\xFF'));
  EXPECT_EQ(full.out.substr(0, 48), "ff.bin\r\nWarning: possibly not 8051 binary code\r\n");
  EXPECT_TRUE(hasLine(full.out, "FF  MOV R7,A (or byte 0FFh) 1 65536 65536 10.00%e+1%"));
  EXPECT_TRUE(hasLine(full.out, "first 3 opcodes: 10.00%e+1%"));

  std::string once(65536, '\xFF');
  once[100] = '\x04';
  const ProcessResult tiny = analyse("once.bin", once);
  EXPECT_TRUE(hasLine(tiny.out, "04  INC A                   1     1     1 15.26%e-4%"));
  EXPECT_TRUE(hasLine(tiny.out, "00  NOP (or byte 00h)       1     0     0  0.00%"));
}

TEST_F(GeneratedInput, SharesBeyond64KiBAreOfTheWholeFile) {
  const ProcessResult half = analyse("zeros.bin", std::string(131072, '\0'));
  EXPECT_TRUE(hasLine(half.out, "Warning:only first 64KB are testing"));
  EXPECT_TRUE(hasLine(half.out, "Total size of code: 65536"));
  EXPECT_TRUE(hasLine(half.out, "00  NOP (or byte 00h)       1 65536 65536 50.00%"));
  const ProcessResult largest = analyse("max.bin", std::string(262144, '\x02'));
  EXPECT_EQ(largest.exitStatus, 0);
  EXPECT_TRUE(hasLine(largest.out, "02  LJMP addr               3 21846 65538 25.00%"));
}

TEST_F(GeneratedInput, UnusableInputsSayWhyAndWriteNothing) {
  fs::create_directory(dir_ / "folder");
  struct Row {
    std::string name;
    std::string contents;  // not created when empty and `create` is false
    bool create;
    std::string message;
  };
  const Row rows[] = {
      {"nosuch.bin", "", false, "opfreq: nosuch.bin: No such file or directory\n"},
      {"empty.bin", "", true, "opfreq: empty.bin: file is empty\n"},
      {"huge.bin", std::string(262145, '\x02'), true,
       "opfreq: huge.bin: file is larger than 262144 bytes\n"},
      {"folder", "", false, "opfreq: folder: Is a directory\n"},
  };
  for (const Row& row : rows) {
    if (row.create) std::ofstream(dir_ / row.name, std::ios::binary) << row.contents;
    const ProcessResult r =
        runOpfreqBinary({.args = {row.name}, .workingDirectory = dir_.string()});
    EXPECT_EQ(r.out, "") << row.name;
    EXPECT_EQ(r.err, row.message);
    EXPECT_EQ(r.exitStatus, 1) << row.name;
  }
  EXPECT_FALSE(fs::exists(dir_ / "nosuch.bin"));
  const ProcessResult pair =
      runOpfreqBinary({.args = {"a.bin", "b.bin"}, .workingDirectory = dir_.string()});
  EXPECT_EQ(pair.err, "opfreq: a.bin b.bin: No such file or directory\n");
  EXPECT_FALSE(fs::exists(dir_ / "a.bin b.bin"));
}

TEST_F(GeneratedInput, ArgumentsJoinIntoOneName) {
  const std::string demo = readFile((kSamples / "demo.bin").string());
  const ProcessResult r = analyse("my code.bin", demo);
  const ProcessResult split =
      runOpfreqBinary({.args = {"my", "code.bin"}, .workingDirectory = dir_.string()});
  EXPECT_EQ(split.out.substr(0, 13), "my code.bin\r\n");
  EXPECT_EQ(split.out, r.out);
}

TEST(EndToEnd, PipedInputIsReadWholeAndNamedAsTyped) {
  const std::string demo = readFile((kSamples / "demo.bin").string());
  const std::string expected = readFile((kSamples / "demo.expected").string());
  const ProcessResult r =
      runOpfreqBinary({.args = {"/dev/stdin"}, .stdinKind = StdinKind::Bytes, .stdinBytes = demo});
  EXPECT_EQ(r.out, "/dev/stdin" + expected.substr(expected.find("\r\n")));
  EXPECT_EQ(r.exitStatus, 0);
  const ProcessResult big = runOpfreqBinary({.args = {"/dev/stdin"},
                                             .stdinKind = StdinKind::Bytes,
                                             .stdinBytes = std::string(300000, 'x')});
  EXPECT_EQ(big.err, "opfreq: /dev/stdin: file is larger than 262144 bytes\n");
  EXPECT_EQ(big.exitStatus, 1);
}

TEST(EndToEnd, FailedWritesEndWithStatusOne) {
  struct Row {
    StdoutKind kind;
    std::string message;
  };
  const Row rows[] = {
      {StdoutKind::DevFull, "opfreq: error writing standard output: No space left on device\n"},
      {StdoutKind::Closed, "opfreq: error writing standard output: Bad file descriptor\n"},
      {StdoutKind::BrokenPipe, ""},
  };
  for (const Row& row : rows) {
    const ProcessResult r = runOpfreqBinary(
        {.args = {"demo.bin"}, .workingDirectory = kSamples.string(), .stdoutKind = row.kind});
    EXPECT_EQ(r.err, row.message);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.signal, 0);
    const ProcessResult usage = runOpfreqBinary({.stdoutKind = row.kind});
    EXPECT_EQ(usage.exitStatus, 1);
  }
}

}  // namespace
}  // namespace opfreq

namespace opfreq {
namespace {

class HostileEnvironment : public GeneratedInput {};

TEST_F(HostileEnvironment, OddNamesAreTakenLiterally) {
  const std::string demo = readFile((kSamples / "demo.bin").string());
  const std::string expected = readFile((kSamples / "demo.expected").string());
  const std::string body = expected.substr(expected.find("\r\n"));
  for (const std::string name : {"-demo.bin", "\xff\xfe name.bin", "--"}) {
    const ProcessResult r = analyse(name, demo);
    EXPECT_EQ(r.out, name + body);
    EXPECT_EQ(r.exitStatus, 0);
  }
}

TEST_F(HostileEnvironment, AFifoIsReadWhole) {
  const fs::path fifo = dir_ / "dump.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string demo = readFile((kSamples / "demo.bin").string());
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << demo; });
  const ProcessResult r =
      runOpfreqBinary({.args = {"dump.fifo"}, .workingDirectory = dir_.string()});
  writer.join();
  const std::string expected = readFile((kSamples / "demo.expected").string());
  EXPECT_EQ(r.out, "dump.fifo" + expected.substr(expected.find("\r\n")));
  EXPECT_EQ(r.exitStatus, 0);
}

TEST_F(HostileEnvironment, AnUnreadableFileIsRefused) {
  std::ofstream(dir_ / "secret.bin", std::ios::binary) << "\x02\x00\x00";
  fs::permissions(dir_ / "secret.bin", fs::perms::none);
  ProcessOptions options{.args = {"secret.bin"}, .workingDirectory = dir_.string()};
  if (::geteuid() == 0) options.runAsUid = 65534;  // root reads anything: run as nobody
  const ProcessResult r = runOpfreqBinary(options);
  if (r.exitStatus == 125 || r.exitStatus == 126 || r.exitStatus == 127) {
    GTEST_SKIP() << "running as root and could not start opfreq as user 65534 (status "
                 << r.exitStatus << "); the binary or the scratch folder is not reachable";
  }
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "opfreq: secret.bin: Permission denied\n");
  EXPECT_EQ(r.exitStatus, 1);
}

}  // namespace
}  // namespace opfreq
