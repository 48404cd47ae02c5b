// In-memory fakes shared by the tests.
#ifndef OPFREQ_TESTS_TEST_SUPPORT_H_
#define OPFREQ_TESTS_TEST_SUPPORT_H_

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq::testing {

// Keeps every write, in pieces, and can be told to refuse writes.
class RecordingSink : public ByteSink {
 public:
  int write(std::string_view bytes) override {
    if (failWith != 0) return failWith;
    pieces.emplace_back(bytes);
    text.append(bytes);
    return 0;
  }
  std::vector<std::string> pieces;
  std::string text;
  int failWith = 0;
};

// A folder of its own for one test, removed with everything in it afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& purpose)
      : path_(std::filesystem::temp_directory_path() /
              ("opfreq_" + purpose + "_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class CountingKeyWaiter : public KeyWaiter {
 public:
  int waitForKey() override {
    ++calls;
    return 'x';
  }
  int calls = 0;
};

}  // namespace opfreq::testing

#endif  // OPFREQ_TESTS_TEST_SUPPORT_H_
