// The makers of the views, each defined beside its view and read by the table of views
// (view_table.cc).
#ifndef OPFREQ_ANALYZER_VIEW_MAKERS_H_
#define OPFREQ_ANALYZER_VIEW_MAKERS_H_

#include "analyzer/view.h"

namespace opfreq {

std::unique_ptr<View> makeLegacyReport(const ViewSetup& setup);             // report.cc
std::unique_ptr<View> makeSweepReport(const ViewSetup& setup);              // sweep_report.cc
std::unique_ptr<View> makeJsonView(const ViewSetup& setup);                 // json_view.cc
std::unique_ptr<View> makeCsvView(const ViewSetup& setup, CsvTable table);  // csv_view.cc
std::unique_ptr<View> makeCompareText(const ViewSetup& setup);              // compare_view.cc
std::unique_ptr<View> makeCompareJson(const ViewSetup& setup);              // compare_view.cc
std::unique_ptr<View> makeCompareCsv(const ViewSetup& setup);               // compare_view.cc
std::unique_ptr<View> makeCompareMarkdown(const ViewSetup& setup);          // compare_view.cc
std::unique_ptr<View> makeDotView(const ViewSetup& setup);                  // dot_view.cc

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_VIEW_MAKERS_H_
