#include <algorithm>

#include "analyzer/view.h"
#include "analyzer/view_makers.h"

namespace opfreq {
namespace {

enum class Sweeping { Any, No, Yes };

// Every view: what picks it, and its maker. `named` is how a refusal names it.
struct ViewRow {
  ViewChoice choice;
  Sweeping sweeping;
  ViewMaker make;
  std::string_view named;
};

template <CsvTable table>
std::unique_ptr<View> makeCsv(const ViewSetup& setup) {
  return makeCsvView(setup, table);
}

using enum ViewFormat;
constexpr std::array kViews = {
    ViewRow{{Text, CsvTable::None, false}, Sweeping::No, makeLegacyReport, "text"},
    ViewRow{{Text, CsvTable::None, false}, Sweeping::Yes, makeSweepReport, "text"},
    ViewRow{{Json, CsvTable::None, false}, Sweeping::Any, makeJsonView, "--json"},
    ViewRow{{Csv, CsvTable::Opcodes, false},
            Sweeping::Any,
            makeCsv<CsvTable::Opcodes>,
            "--csv=opcodes"},
    ViewRow{{Csv, CsvTable::Calls, false}, Sweeping::Any, makeCsv<CsvTable::Calls>, "--csv=calls"},
    ViewRow{{Csv, CsvTable::Functions, false},
            Sweeping::Any,
            makeCsv<CsvTable::Functions>,
            "--csv=functions"},
    ViewRow{{Csv, CsvTable::Edges, false}, Sweeping::Any, makeCsv<CsvTable::Edges>, "--csv=edges"},
    ViewRow{{Dot, CsvTable::None, false}, Sweeping::Any, makeDotView, "--dot"},
    ViewRow{{Text, CsvTable::None, true}, Sweeping::Any, makeCompareText, "text"},
    ViewRow{{Json, CsvTable::None, true}, Sweeping::Any, makeCompareJson, "--json"},
    ViewRow{{Csv, CsvTable::Compare, true}, Sweeping::Any, makeCompareCsv, "--csv=compare"},
    ViewRow{{Markdown, CsvTable::None, true}, Sweeping::Any, makeCompareMarkdown, "--markdown"},
};

}  // namespace

std::string_view csvColumns(CsvTable table) {
  const auto row = std::find_if(kCsvTables.begin(), kCsvTables.end(),
                                [&](const CsvTableRow& r) { return r.table == table; });
  return row != kCsvTables.end() ? row->columns : "";
}

std::variant<ViewMaker, std::string> pickView(const ViewChoice& choice, bool sweeping) {
  const Sweeping asked = sweeping ? Sweeping::Yes : Sweeping::No;
  std::vector<std::string_view> alike;  // the views of the same kind, for the refusal
  for (const ViewRow& row : kViews) {
    if (row.choice.format == choice.format && row.choice.table == choice.table &&
        row.choice.compare && !choice.compare) {
      return std::string(row.named) + " writes a comparison, which --compare asks for";
    }
    if (row.choice.compare != choice.compare) continue;
    if (row.choice == choice && (row.sweeping == Sweeping::Any || row.sweeping == asked))
      return row.make;
    if (std::find(alike.begin(), alike.end(), row.named) == alike.end()) alike.push_back(row.named);
  }
  std::string views;
  for (size_t i = 0; i < alike.size(); ++i) {
    views += i == 0 ? "" : i + 1 < alike.size() ? ", " : " or ";
    views += alike[i];
  }
  return std::string(choice.compare ? "--compare writes " : "the views are ") + views;
}

}  // namespace opfreq
