// Any bytes, analysed as an image of that length: the report must keep its shape. Then swept by
// the linear and follow sweeps over a region, mapping and written bytes that the data's first
// bytes choose: they must stay in the region and count each byte once, the functions must own
// every instruction counted, and the JSON line must hold a row for each called address, each
// function, each helper's data and each unresolved jump or call.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/analysis.h"
#include "analyzer/opcode_table.h"
#include "analyzer/view_makers.h"
#include "filein/input_image.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The one analysis of `image` as `options` ask; aborts where it gives none but a follow sweep
// that reached nothing.
std::optional<opfreq::Analysis> analysed(std::span<const uint8_t> image, int64_t size,
                                         const opfreq::OffsetSet* written,
                                         const opfreq::SweepOptions& options) {
  auto result =
      opfreq::analyse({"fuzz.bin", opfreq::HexFormat::None, {image, size, written}}, options);
  if (auto* analysis = std::get_if<opfreq::Analysis>(&result)) return std::move(*analysis);
  check(std::get<opfreq::Problem>(result).text.starts_with("--follow reached nothing"));
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > opfreq::kMaxFileSize) return 0;
  opfreq::CodeImage image{};
  for (size_t i = 0; i < size && i < image.size(); ++i) image[i] = data[i];
  opfreq::StringSink sink;
  opfreq::OutputStream out(sink);
  opfreq::makeLegacyReport({out})->result(
      *analysed(image, static_cast<int64_t>(size), nullptr, opfreq::SweepOptions{}));

  // Every line ends in CR LF; after the file name, the warnings and the 23 fixed lines come at
  // most eight call lines, in ascending address order.
  std::string_view report = sink.text;
  int lines = 0;
  std::string previousAddress;
  for (size_t end; (end = report.find("\r\n")) != std::string_view::npos; ++lines) {
    const std::string_view line = report.substr(0, end);
    check(line.find('\n') == std::string_view::npos);
    if (line.size() == 27 && line.substr(5, 18) == " times to address ") {
      check(std::string(line.substr(23)) > previousAddress);
      previousAddress = line.substr(23);
    }
    report.remove_prefix(end + 2);
  }
  check(report.empty());
  const int warnings = (data[0] != 0x02) + (size > 65536);
  check(lines >= 24 + warnings && lines <= 32 + warnings);

  std::vector<uint8_t> whole(data, data + size);
  whole.resize(size + 2);
  opfreq::OffsetSet written(size);
  for (size_t i = 0; i < size; ++i) {
    if ((i * 7 + data[0]) % 11 != 0) written.add(i, 1);
  }
  opfreq::SweepOptions options;
  options.follow = (data[0] & 1) != 0;
  options.written = (data[0] & 2) != 0;
  const size_t from = size > 1 ? data[1] * size / 256 : 0;
  options.rangeFrom = static_cast<int64_t>(from);
  options.rangeTo = static_cast<int64_t>(std::min(size - 1, from + 65535));
  if ((data[0] & 4) != 0) options.at = static_cast<uint16_t>(data[0] << 8 | data[size - 1]);
  // An entry inside the region, which a usage error would refuse otherwise.
  const opfreq::Region region = opfreq::regionOf(options, static_cast<int64_t>(size));
  const auto offset = static_cast<size_t>(data[size / 2] << 8 | data[size - 1]) % region.size();
  options.entries = {{static_cast<uint16_t>(region.at + offset), ""}};
  if ((data[0] & 8) != 0) options.vectors = static_cast<uint16_t>(data[size / 3] << 8);
  options.functions = options.follow && (data[0] & 16) != 0;
  std::optional<opfreq::Analysis> result =
      analysed(whole, static_cast<int64_t>(size), options.written ? &written : nullptr, options);
  if (!result) return 0;
  const opfreq::Analysis& analysis = *result;
  const opfreq::SweepInfo& info = analysis.sweep;
  const opfreq::RunState& run = analysis.run;
  int64_t instructions = 0;
  int64_t bytes = 0;
  for (size_t op = 0; op < 256; ++op) {
    instructions += run.opcodeCount[op];
    bytes += int64_t{run.opcodeCount[op]} * opfreq::OpcodeTable[op].cmdlen;
  }
  const int64_t regionSize = info.region.to - info.region.from + 1;
  // Each byte once: where instructions overlap, the bytes they cover are fewer than their lengths.
  check(info.instructions == instructions && info.bytes + info.overlap <= bytes);
  check(info.bytes <= regionSize && info.overlap <= info.bytes);
  check((info.overlap == 0) == (info.bytes == bytes));
  // Every instruction counted belongs to exactly one function.
  size_t functions = 0;
  if (analysis.functions) {
    int64_t owned = 0;
    int64_t ownedInstructions = 0;
    for (const opfreq::FunctionProfile& f : analysis.functions->functions) {
      owned += f.bytes;
      ownedInstructions += f.instructions;
    }
    check(ownedInstructions == instructions && owned >= info.bytes && owned <= bytes);
    check(info.overlap > 0 || owned == bytes);
    functions = analysis.functions->functions.size();
  }

  sink.text.clear();
  opfreq::makeJsonView({out})->result(analysis);
  const std::string_view line = sink.text;
  int64_t rows = 0;
  for (size_t at = 0; (at = line.find("{\"address\": ", at)) != std::string_view::npos; ++at)
    ++rows;
  check(line.find('\n') == line.size() - 1 && line.ends_with("}\n") &&
        rows == run.calls.distinctCount() + static_cast<int64_t>(functions) +
                    static_cast<int64_t>(info.inlineData.size() + info.unresolved.size()));
  return 0;
}
