#include "analyzer/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "analyzer/usage.h"
#include "analyzer/view.h"

namespace opfreq {
namespace {

// The option names that --help's option lines show.
std::set<std::string> namesInHelp() {
  StringSink sink;
  OutputStream out(sink);
  writeHelp(out, true);
  const std::string options = sink.text.substr(sink.text.find("Options:"));
  std::set<std::string> names;
  const std::regex name(R"([\s,](--?[a-z]+(?:-[a-z]+)*))");
  for (auto n = std::sregex_iterator(options.begin(), options.end(), name);
       n != std::sregex_iterator(); ++n) {
    names.insert((*n)[1]);
  }
  return names;
}

// The names of the manual page's option list: each item's first line after .TP.
std::string textOf(const std::string& path);

std::set<std::string> namesInManual() {
  const std::string all = textOf(OPFREQ_SOURCE_DIR "/doc/opfreq.1.in");
  const size_t begin = all.find(".SH OPTIONS");
  const std::string options = all.substr(begin, all.find(".SH ", begin + 1) - begin);
  std::set<std::string> names;
  const std::regex item(R"(\.TP\n([^\n]*))");
  const std::regex name(R"((\\-)+[a-z]+(\\-[a-z]+)*)");
  for (auto i = std::sregex_iterator(options.begin(), options.end(), item);
       i != std::sregex_iterator(); ++i) {
    const std::string first = (*i)[1];
    for (auto n = std::sregex_iterator(first.begin(), first.end(), name);
         n != std::sregex_iterator(); ++n) {
      names.insert(std::regex_replace(n->str(), std::regex(R"(\\-)"), "-"));
    }
  }
  return names;
}

std::string textOf(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(CommandLine, EveryDocumentGivesTheCsvColumnsThatTheViewsWrite) {
  std::set<std::string> written;
  for (const CsvTableRow& table : kCsvTables) written.emplace(table.columns);
  const std::regex columns(R"(\b(old_)?file(,[a-z_]+)+)");
  for (const char* document : {"/doc/opfreq.1.in", "/README.md", "/doc/README-windows.txt.in"}) {
    const std::string text = textOf(std::string(OPFREQ_SOURCE_DIR) + document);
    std::set<std::string> given;
    for (auto c = std::sregex_iterator(text.begin(), text.end(), columns);
         c != std::sregex_iterator(); ++c) {
      given.insert(c->str());
    }
    EXPECT_EQ(given, written) << document;
  }
}

TEST(CommandLine, HelpAndTheManualListExactlyTheOptionsTheParserTakes) {
  const std::vector<std::string> taken = optionNames();
  const std::set<std::string> parser(taken.begin(), taken.end());
  EXPECT_EQ(namesInHelp(), parser);
  EXPECT_EQ(namesInManual(), parser);
  for (const std::string& name : parser) {
    const CommandLine line = parseCommandLine({name, "x.bin"}, false);
    EXPECT_FALSE(line.problem.text.starts_with("unknown option")) << name;
  }
  EXPECT_EQ(parseCommandLine({"--jsn", "x.bin"}, false).problem.text, "unknown option --jsn");
}

}  // namespace
}  // namespace opfreq
