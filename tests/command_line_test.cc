#include "analyzer/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "analyzer/usage.h"

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
std::set<std::string> namesInManual() {
  std::ifstream page(OPFREQ_SOURCE_DIR "/doc/opfreq.1.in");
  std::stringstream text;
  text << page.rdbuf();
  const std::string all = text.str();
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
