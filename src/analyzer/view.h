// A view turns analyses into bytes on an output. The run calls begin() once, then, in the order
// the inputs were named, result() for each input analysed and failed() for each that could not
// be, then end(). What a view writes once a run (a CSV header) is its own affair.
//
// Which view a run writes is chosen in one place: the request names a format, a CSV table and
// whether it compares two builds, and pickView finds the one view of its table (view_table.cc)
// that fits, or says which ones there are.
#ifndef OPFREQ_ANALYZER_VIEW_H_
#define OPFREQ_ANALYZER_VIEW_H_

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "analyzer/analysis.h"
#include "analyzer/problem.h"
#include "textout/output_stream.h"

namespace opfreq {

class View {
 public:
  virtual ~View() = default;
  virtual void begin() {}
  virtual void result(const Analysis& analysis) = 0;
  virtual void failed(std::string_view /*name*/, const Problem& /*problem*/) {}
  virtual void end() {}
};

struct ViewSetup {
  OutputStream& out;
  // A file name as the text views write it in their first line: in the ANSI code page on
  // Windows, as opfreq has always written it there.
  std::function<std::string(std::string_view)> shownName = [](std::string_view name) {
    return std::string(name);
  };
};

using ViewMaker = std::unique_ptr<View> (*)(const ViewSetup& setup);

enum class ViewFormat { Text, Json, Csv, Dot, Markdown };
enum class CsvTable { None, Opcodes, Calls, Functions, Edges, Compare };

// The CSV tables: the one list of their names and columns, which --help and the views read.
struct CsvTableRow {
  CsvTable table;
  std::string_view name;     // after --csv=
  std::string_view what;     // what --help says of it, before its columns
  std::string_view columns;  // its header line, without the line end
};
inline constexpr std::array kCsvTables = {
    CsvTableRow{CsvTable::Opcodes, "opcodes", "CSV, 256 rows a file",
                "file,opcode,mnemonic,length,count,bytes"},
    CsvTableRow{CsvTable::Calls, "calls", "CSV, a row a called address",
                "file,address,lcall,acall,count,name"},
    CsvTableRow{CsvTable::Functions, "functions", "CSV, a row a function",
                "file,address,name,kind,bytes,instructions,calls,callees,callers"},
    CsvTableRow{CsvTable::Edges, "edges", "CSV, a row an edge of the call graph",
                "file,from,to,kind,count"},
    CsvTableRow{CsvTable::Compare, "compare", "CSV of --compare",
                "old_file,new_file,name,old_address,new_address,old_bytes,new_bytes,delta"},
};
std::string_view csvColumns(CsvTable table);

// What the command line asked to see.
struct ViewChoice {
  ViewFormat format = ViewFormat::Text;
  CsvTable table = CsvTable::None;  // with ViewFormat::Csv
  bool compare = false;             // two builds side by side
  friend bool operator==(const ViewChoice&, const ViewChoice&) = default;
};

// The view of `choice` for a run with a sweep option (`sweeping`) or without; or, when there is
// none, why (the text of a usage error).
std::variant<ViewMaker, std::string> pickView(const ViewChoice& choice, bool sweeping);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_VIEW_H_
