#include "textout/output_file.h"

namespace opfreq {
namespace {

constexpr size_t kFlushSize = 65536;

}  // namespace

int OutputFile::write(std::string_view bytes) {
  if (error_ != 0) return error_;
  buffer_.append(bytes);
  return buffer_.size() >= kFlushSize ? flush() : 0;
}

}  // namespace opfreq
