// The views of two builds compared (--compare OLD NEW; compare.h): text, JSON and CSV of what
// each swept, the functions that grew, shrank, came or went, and the opcodes whose counts
// changed. Each keeps what it needs of the two results and writes the comparison at the end of
// the run, and only when both were analysed.
#include <algorithm>
#include <array>
#include <optional>

#include "analyzer/compare.h"
#include "analyzer/opcode_table.h"
#include "analyzer/report.h"
#include "analyzer/view_makers.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

constexpr size_t kNumberColumn = 7;
constexpr size_t kOpcodeLines = 16;
constexpr size_t kOpcodeColumns = 24;

// "+89", "-56", "0".
std::string signedNumber(int64_t value) {
  std::string text = std::to_string(value);
  if (value > 0) text.insert(text.begin(), '+');
  return text;
}

class CompareView : public View {
 public:
  explicit CompareView(const ViewSetup& setup) : setup_(setup) {}

  void result(const Analysis& analysis) override { builds_.push_back(Build::of(analysis)); }
  void failed(std::string_view, const Problem&) override { failed_ = true; }
  void end() override {
    if (failed_ || builds_.size() != 2) return;
    write(builds_[0], builds_[1], changesBetween(builds_[0], builds_[1]));
  }

 protected:
  virtual void write(const Build& old, const Build& now, const std::vector<Change>& changes) = 0;
  OutputStream& out() { return setup_.out; }
  const ViewSetup& setup() const { return setup_; }

 private:
  ViewSetup setup_;
  std::vector<Build> builds_;
  bool failed_ = false;
};

class CompareText : public CompareView {
 public:
  using CompareView::CompareView;

 private:
  static std::string column(std::optional<int64_t> value) {
    return rightAligned(value ? std::to_string(*value) : "-", kNumberColumn);
  }
  static std::string columns(std::optional<int64_t> old, std::optional<int64_t> now) {
    return column(old) + column(now) +
           rightAligned(signedNumber(now.value_or(0) - old.value_or(0)), kNumberColumn);
  }

  void write(const Build& old, const Build& now, const std::vector<Change>& changes) override {
    const auto shown = [&](const std::string& name) { return printable(setup().shownName(name)); };
    out().writeText(shown(old.name) + " -> " + shown(now.name), true);
    out().writeText("bytes" + columns(old.bytes, now.bytes), true);
    out().writeText("functions:", true);
    for (const Change& c : changes) {
      const std::string what = c.name.empty()
                                   ? hexDigits(c.newAddress.value_or(c.oldAddress.value_or(0)), 4)
                                   : printable(c.name);
      out().writeText(columns(c.oldBytes, c.newBytes) + " " + what, true);
    }
    out().writeText("opcodes:", true);
    std::vector<size_t> differ;
    for (size_t op = 0; op < 256; ++op) {
      if (old.counts[op] != now.counts[op]) differ.push_back(op);
    }
    const auto size = [&](size_t op) {
      const int64_t delta = int64_t{now.counts[op]} - old.counts[op];
      return delta < 0 ? -delta : delta;
    };
    std::stable_sort(differ.begin(), differ.end(),
                     [&](size_t a, size_t b) { return size(a) > size(b); });
    differ.resize(std::min(differ.size(), kOpcodeLines));
    for (const size_t op : differ) {
      out().writeText(
          opcodeColumns(op).substr(0, kOpcodeColumns) + columns(old.counts[op], now.counts[op]),
          true);
    }
  }
};

class CompareJson : public CompareView {
 public:
  using CompareView::CompareView;

 private:
  static void optional(ViewText& text, std::optional<int64_t> value) {
    if (value) {
      text.number(*value);
    } else {
      text.put("null");
    }
  }

  void write(const Build& old, const Build& now, const std::vector<Change>& changes) override {
    ViewText text(out());
    text.put("{\"old\": ").escaped(old.name, appendJsonString);
    text.put(", \"new\": ").escaped(now.name, appendJsonString);
    text.put(", \"bytes\": {\"old\": ").number(old.bytes).put(", \"new\": ").number(now.bytes);
    text.put(", \"delta\": ").number(now.bytes - old.bytes).put("}, \"functions\": [");
    for (size_t i = 0; i < changes.size(); ++i) {
      const Change& c = changes[i];
      if (i > 0) text.put(", ");
      text.put("{\"name\": ");
      if (c.name.empty()) {
        text.put("null");
      } else {
        text.escaped(c.name, appendJsonString);
      }
      text.put(", \"old_address\": ");
      optional(text, c.oldAddress);
      text.put(", \"new_address\": ");
      optional(text, c.newAddress);
      text.put(", \"old_bytes\": ");
      optional(text, c.oldBytes);
      text.put(", \"new_bytes\": ");
      optional(text, c.newBytes);
      text.put(", \"delta\": ").number(c.delta()).put("}");
    }
    text.put("], \"opcodes\": [");
    for (size_t op = 0; op < 256; ++op) {
      if (op > 0) text.put(", ");
      text.put("{\"opcode\": ").number(static_cast<int64_t>(op));
      text.put(", \"mnemonic\": ").escaped(OpcodeTable[op].mnemonic, appendJsonString);
      text.put(", \"old\": ").number(old.counts[op]).put(", \"new\": ").number(now.counts[op]);
      text.put(", \"delta\": ").number(int64_t{now.counts[op]} - old.counts[op]).put("}");
    }
    text.put("]}\n");
  }
};

class CompareCsv : public CompareView {
 public:
  using CompareView::CompareView;

 private:
  void write(const Build& old, const Build& now, const std::vector<Change>& changes) override {
    ViewText text(out());
    text.raw(csvColumns(CsvTable::Compare)).put("\n");
    std::string files;
    appendCsvField(files, old.name);
    files += ',';
    appendCsvField(files, now.name);
    files += ',';
    for (const Change& c : changes) {
      text.raw(files).escaped(c.name, appendCsvField).put(",");
      if (c.oldAddress) text.hex(*c.oldAddress, 4);
      text.put(",");
      if (c.newAddress) text.hex(*c.newAddress, 4);
      text.put(",");
      if (c.oldBytes) text.number(*c.oldBytes);
      text.put(",");
      if (c.newBytes) text.number(*c.newBytes);
      text.put(",").number(c.delta()).put("\n");
    }
  }
};

}  // namespace

std::unique_ptr<View> makeCompareText(const ViewSetup& setup) {
  return std::make_unique<CompareText>(setup);
}

std::unique_ptr<View> makeCompareJson(const ViewSetup& setup) {
  return std::make_unique<CompareJson>(setup);
}

std::unique_ptr<View> makeCompareCsv(const ViewSetup& setup) {
  return std::make_unique<CompareCsv>(setup);
}

}  // namespace opfreq
