// A view turns analyses into bytes on an output. The run calls begin() once, then, in the order
// the inputs were named, result() for each input analysed and failed() for each that could not
// be, then end(). What a view writes once a run (a CSV header) is its own affair.
//
// A view is one file: its class, and a maker declared here for the option table
// (command_line.cc) to pick.
#ifndef OPFREQ_ANALYZER_VIEW_H_
#define OPFREQ_ANALYZER_VIEW_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

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

std::unique_ptr<View> makeLegacyReport(const ViewSetup& setup);  // report.cc
std::unique_ptr<View> makeSweepReport(const ViewSetup& setup);   // sweep_report.cc
std::unique_ptr<View> makeJsonView(const ViewSetup& setup);      // json_view.cc
std::unique_ptr<View> makeCsvOpcodes(const ViewSetup& setup);    // csv_view.cc
std::unique_ptr<View> makeCsvCalls(const ViewSetup& setup);      // csv_view.cc
std::unique_ptr<View> makeCsvFunctions(const ViewSetup& setup);  // csv_view.cc
std::unique_ptr<View> makeCompareText(const ViewSetup& setup);   // compare_view.cc
std::unique_ptr<View> makeCompareJson(const ViewSetup& setup);   // compare_view.cc
std::unique_ptr<View> makeCompareCsv(const ViewSetup& setup);    // compare_view.cc

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_VIEW_H_
