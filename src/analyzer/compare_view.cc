// The views of two builds compared (--compare OLD NEW; compare.h): text, JSON, CSV and Markdown
// of the bytes each file holds and each trace counted, the functions that grew, shrank, came or
// went, and the opcodes whose counts changed. Each keeps what it needs of the two results and
// writes the comparison at the end of the run, and only when both were analysed.
#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

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
constexpr size_t kMnemonicColumn = 23;  // the longest mnemonic
constexpr size_t kMarkdownRows = 50;

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

// The function or address of a change.
std::string changed(const Change& c) {
  return c.name.empty() ? hexDigits(c.newAddress.value_or(c.oldAddress.value_or(0)), 4) : c.name;
}

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
    out().writeText("image" + columns(old.image, now.image), true);
    out().writeText("code " + columns(old.code, now.code), true);
    out().writeText("functions:", true);
    for (const Change& c : changes) {
      out().writeText(columns(c.oldBytes, c.newBytes) + " " + printable(changed(c)), true);
    }
    out().writeText("opcodes:", true);
    for (const size_t op : opcodesBetween(old, now, kOpcodeLines)) {
      std::string mnemonic(OpcodeTable[op].mnemonic);
      mnemonic.resize(kMnemonicColumn, ' ');
      out().writeText(hexDigits(op, 2) + "  " + mnemonic + columns(old.counts[op], now.counts[op]),
                      true);
    }
  }
};

// The comparison for a pull request's comment: a line of the sizes, a table of the functions that
// changed (at most kMarkdownRows, in the text view's order) and one of the opcodes, folded.
class CompareMarkdown : public CompareView {
 public:
  using CompareView::CompareView;

 private:
  static std::string sizes(std::string_view what, int64_t old, int64_t now) {
    std::string text = "**";
    text += what;
    text += "** " + std::to_string(old) + " \u2192 " + std::to_string(now) + " (" +
            signedNumber(now - old) + ")";
    return text;
  }
  static std::string cell(std::optional<int64_t> value) {
    return value ? std::to_string(*value) : "-";
  }

  void write(const Build& old, const Build& now, const std::vector<Change>& changes) override {
    std::string text =
        sizes("image", old.image, now.image) + ", " + sizes("code", old.code, now.code) + "\n\n";
    if (changes.empty()) text += "No function changed.\n";
    if (!changes.empty())
      text += "| function | old | new | delta |\n| --- | ---: | ---: | ---: |\n";
    for (size_t i = 0; i < changes.size() && i < kMarkdownRows; ++i) {
      const Change& c = changes[i];
      text += "| ";
      appendMarkdownCode(text, changed(c));
      text += " | " + cell(c.oldBytes) + " | " + cell(c.newBytes) + " | " +
              signedNumber(c.delta()) + " |\n";
    }
    if (changes.size() > kMarkdownRows) {
      text += '\n';
      text += std::to_string(changes.size() - kMarkdownRows) + " more functions changed.\n";
    }
    text += "\n<details><summary>opcodes</summary>\n\n";
    text += "| opcode | mnemonic | old | new | delta |\n| --- | --- | ---: | ---: | ---: |\n";
    for (const size_t op : opcodesBetween(old, now, kOpcodeLines)) {
      text += "| ";
      text += hexDigits(op, 2) + " | ";
      appendMarkdownCode(text, OpcodeTable[op].mnemonic);
      text += " | " + std::to_string(old.counts[op]) + " | " + std::to_string(now.counts[op]) +
              " | " + signedNumber(int64_t{now.counts[op]} - old.counts[op]) + " |\n";
    }
    text += "\n</details>\n";
    out().writeText(text);
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
    // "bytes" is the code's, as scripts written before "image" and "code" read it.
    for (const auto& [key, oldSize, newSize] :
         {std::tuple("bytes", old.code, now.code), std::tuple("image", old.image, now.image),
          std::tuple("code", old.code, now.code)}) {
      text.put(", \"").raw(key).put("\": {\"old\": ").number(oldSize);
      text.put(", \"new\": ").number(newSize).put(", \"delta\": ").number(newSize - oldSize);
      text.put("}");
    }
    text.put(", \"functions\": [");
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

std::unique_ptr<View> makeCompareMarkdown(const ViewSetup& setup) {
  return std::make_unique<CompareMarkdown>(setup);
}

}  // namespace opfreq
