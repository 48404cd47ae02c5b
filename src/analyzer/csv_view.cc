// The CSV views, for spreadsheets: RFC 4180 quoting, LF line ends, one header line for the
// whole run (the columns of kCsvTables), before the first rows, so that a run whose inputs all fail
// writes nothing. The opcode view has 256 rows a file in opcode order; the call view a row for each
// called address, most called first; the function view a row for each function, by address; the
// edge view a row for each edge of the call graph, by function.
#include "analyzer/opcode_table.h"
#include "analyzer/view_makers.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

class CsvView : public View {
 public:
  CsvView(const ViewSetup& setup, CsvTable table) : out_(setup.out), table_(table) {}

  void result(const Analysis& analysis) override {
    if (!headerWritten_) out_.writeText(std::string(csvColumns(table_)) + "\n");
    headerWritten_ = true;
    std::string file;
    appendCsvField(file, analysis.name);
    file += ',';
    ViewText text(out_);
    writeRows(text, file, analysis);
  }

 protected:
  virtual void writeRows(ViewText& text, std::string_view file, const Analysis& analysis) = 0;

 private:
  OutputStream& out_;
  CsvTable table_;
  bool headerWritten_ = false;
};

class CsvOpcodes : public CsvView {
 public:
  explicit CsvOpcodes(const ViewSetup& setup) : CsvView(setup, CsvTable::Opcodes) {}

 private:
  void writeRows(ViewText& text, std::string_view file, const Analysis& analysis) override {
    for (size_t op = 0; op < 256; ++op) {
      const int32_t count = analysis.run.opcodeCount[op];
      const int32_t length = OpcodeTable[op].cmdlen;
      text.raw(file).hex(static_cast<uint32_t>(op), 2).put(",");
      text.escaped(OpcodeTable[op].mnemonic, appendCsvField).put(",").number(length);
      text.put(",").number(count).put(",").number(int64_t{count} * length).put("\n");
    }
  }
};

class CsvCalls : public CsvView {
 public:
  explicit CsvCalls(const ViewSetup& setup) : CsvView(setup, CsvTable::Calls) {}

 private:
  void writeRows(ViewText& text, std::string_view file, const Analysis& analysis) override {
    for (const CallTarget& target : analysis.run.calls.byCount()) {
      text.raw(file).hex(target.address, 4).put(",").number(target.lcall);
      text.put(",").number(target.acall).put(",").number(target.count()).put(",");
      text.escaped(analysis.symbols->nameOf(target.address), appendCsvField).put("\n");
    }
  }
};

class CsvFunctions : public CsvView {
 public:
  explicit CsvFunctions(const ViewSetup& setup) : CsvView(setup, CsvTable::Functions) {}

 private:
  void writeRows(ViewText& text, std::string_view file, const Analysis& analysis) override {
    if (!analysis.functions) return;
    for (const FunctionProfile& f : analysis.functions->functions) {
      text.raw(file).hex(f.address, 4).put(",").escaped(f.name, appendCsvField).put(",");
      text.raw(kindName(f.kind)).put(",").number(f.bytes).put(",").number(f.instructions);
      text.put(",").number(f.calls).put(",").number(f.callees).put(",").number(f.callers);
      text.put("\n");
    }
  }
};

// An edge of the call graph a row: the calls of each function, then its tail calls.
class CsvEdges : public CsvView {
 public:
  explicit CsvEdges(const ViewSetup& setup) : CsvView(setup, CsvTable::Edges) {}

 private:
  void writeRows(ViewText& text, std::string_view file, const Analysis& analysis) override {
    if (!analysis.functions) return;
    const FunctionProfiles& profiles = *analysis.functions;
    for (const FunctionProfile& f : profiles.functions) {
      for (const bool calls : {true, false}) {
        for (const Edge& edge : profiles.edgesOf(calls ? f.callsTo : f.jumpsTo)) {
          text.raw(file).hex(f.address, 4).put(",").hex(edge.address, 4);
          text.raw(calls ? ",call," : ",jump,").number(edge.count).put("\n");
        }
      }
    }
  }
};

}  // namespace

std::unique_ptr<View> makeCsvView(const ViewSetup& setup, CsvTable table) {
  switch (table) {
    case CsvTable::Calls:
      return std::make_unique<CsvCalls>(setup);
    case CsvTable::Functions:
      return std::make_unique<CsvFunctions>(setup);
    case CsvTable::Edges:
      return std::make_unique<CsvEdges>(setup);
    case CsvTable::Opcodes:
    case CsvTable::None:
    case CsvTable::Compare:  // a view of its own (compare_view.cc)
      break;
  }
  return std::make_unique<CsvOpcodes>(setup);
}

}  // namespace opfreq
