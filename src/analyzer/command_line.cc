#include "analyzer/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>

#include "filein/hex_number.h"
#include "filein/input_image.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

// A code address in hex.
std::optional<uint16_t> parseAddress(const std::string& text) {
  const std::optional<uint64_t> value = parseHexNumber(text);
  if (!value || *value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

// The request as the options build it, and what is wrong with them.
class Parser {
 public:
  explicit Parser(CommandLine& line) : line_(line), request_(line.request) {}

  Request& request() { return request_; }
  void askForHelp() { help_ = true; }
  void askForVersion() { version_ = true; }

  bool setView(ViewFormat format, CsvTable table = CsvTable::None) {
    if (viewSet_ && (request_.view.format != format || request_.view.table != table))
      return wrong("give one view: --json, or one table of --csv");
    request_.view.format = format;
    request_.view.table = table;
    viewSet_ = true;
    return true;
  }

  // --csv=TABLE, and what the table asks for.
  bool takeCsv(const std::string& value) {
    const std::string name = value.empty() ? "opcodes" : value;
    const auto row = std::find_if(kCsvTables.begin(), kCsvTables.end(),
                                  [&](const CsvTableRow& r) { return r.name == name; });
    if (row == kCsvTables.end()) {
      std::string names;
      for (size_t i = 0; i < kCsvTables.size(); ++i) {
        names += i == 0 ? "" : i + 1 < kCsvTables.size() ? ", " : " or ";
        names += kCsvTables[i].name;
      }
      return wrong("--csv=" + value + ": the table is " + names);
    }
    if (!setView(ViewFormat::Csv, row->table)) return false;
    if (row->table == CsvTable::Functions || row->table == CsvTable::Edges)
      return askForFunctions();
    if (row->table == CsvTable::Compare) return askToCompare();
    return true;
  }

  // --functions, and what asks for them: the functions of the code that --follow reaches.
  bool askForFunctions() {
    request_.sweep.functions = request_.sweep.follow = true;
    return true;
  }
  bool askToCompare() {
    request_.view.compare = true;
    request_.sweep.contents = true;
    return askForFunctions();
  }

  // An address in hex, or any other word as a name for the symbols to give the address of.
  bool takeEntry(const std::string& argument) {
    if (!parseHexNumber(argument)) {
      request_.sweep.entries.push_back({0, argument});
      return true;
    }
    return takeAddress("--entry", argument, [&](uint16_t a) {
      request_.sweep.entries.push_back({a, ""});
    });
  }

  template <typename Use>
  bool takeAddress(const char* option, const std::string& argument, Use use) {
    const std::optional<uint16_t> address = parseAddress(argument);
    if (!address)
      return wrong(std::string(option) + " " + argument + ": not an address 0 to FFFF in hex");
    use(*address);
    return true;
  }

  bool takeGrowth(const std::string& argument) {
    int64_t bytes = 0;
    const char* end = argument.data() + argument.size();
    const auto [stop, error] = std::from_chars(argument.data(), end, bytes);
    if (error != std::errc() || stop != end || bytes < 0)
      return wrong("--max-growth " + argument + ": not a number of bytes, 0 or more");
    request_.maxGrowth = bytes;
    return true;
  }

  bool takeRange(const std::string& argument) {
    const size_t dash = argument.find('-');
    const auto from = parseHexNumber(argument.substr(0, dash));
    const auto to =
        dash == std::string::npos ? std::nullopt : parseHexNumber(argument.substr(dash + 1));
    if (!from || !to || *from > *to) {
      return wrong("--range " + argument + ": not FROM-TO, two image offsets in hex, FROM first");
    }
    if (*to - *from >= static_cast<uint64_t>(kCodeSpace))
      return wrong("--range " + argument + ": wider than 64 KiB");
    if (*to >= static_cast<uint64_t>(kMaxFileSize)) {
      return wrong("--range " + argument + ": past " + hexDigits(kMaxFileSize - 1, 5) +
                   "h, the last offset of the largest image opfreq reads");
    }
    request_.sweep.rangeFrom = static_cast<int64_t>(*from);
    request_.sweep.rangeTo = static_cast<int64_t>(*to);
    return true;
  }

  // The checks that need every option.
  bool finish() {
    if (help_ || version_) {
      line_.kind = help_ ? CommandLine::Kind::Help : CommandLine::Kind::Version;
      return true;
    }
    const SweepOptions& sweep = request_.sweep;
    if (!sweep.follow) {
      if (!sweep.entries.empty())
        return wrong("--entry adds an entry point to --follow, which is not given");
      if (sweep.entrySymbols)
        return wrong("--entry-symbols adds entry points to --follow, which is not given");
      if (sweep.vectors)
        return wrong("--vectors moves the vectors of --follow, which is not given");
    }
    if (request_.symbols && request_.maps) return wrong("give --symbols or --maps, not both");
    if (request_.symbols && request_.view.compare) {
      return wrong("--compare names each build from its own map: give --maps, not --symbols");
    }
    if (request_.maxGrowth && !request_.view.compare)
      return wrong("--max-growth limits the growth of --compare, which is not given");
    if (!request_.symbols && !request_.maps) {
      for (const EntryPoint& entry : sweep.entries) {
        if (!entry.name.empty())
          return wrong("--entry " + entry.name + ": a name needs --symbols or --maps");
      }
      if (sweep.entrySymbols)
        return wrong("--entry-symbols takes the code symbols of --symbols or --maps");
    }
    if (request_.files.empty()) return wrong("no image named");
    if (request_.view.compare && request_.files.size() != 2) {
      return wrong("--compare takes two images, OLD and NEW, not " +
                   std::to_string(request_.files.size()));
    }
    const auto view = pickView(request_.view, sweep.any());
    if (const auto* refused = std::get_if<std::string>(&view)) return wrong(*refused);
    line_.kind = CommandLine::Kind::Request;
    return true;
  }

  // What is wrong, in a line that also names --help.
  bool wrong(std::string problem) { return refuse(Problem::ofCommandLine(std::move(problem))); }
  bool refuse(Problem problem) {
    line_.kind = CommandLine::Kind::Wrong;
    line_.problem = std::move(problem);
    return false;
  }

 private:
  CommandLine& line_;
  Request& request_;
  bool help_ = false;
  bool version_ = false;
  bool viewSet_ = false;
};

struct OptionRow {
  const char* name;       // the long name, without "--"; null for a line of --help alone
  char letter;            // the short name, or 0
  int argument;           // no_argument, required_argument or optional_argument (a value after '=')
  std::string_view help;  // its lines of --help
  bool (*take)(Parser& parser, const std::string& value);
};

// Every option, in the order --help lists them.
constexpr std::array kOptions = {
    OptionRow{"help", 'h', no_argument,
              "  --help, -h, /?    this text, without waiting for a key (/? on Windows)",
              [](Parser& p, const std::string&) { return p.askForHelp(), true; }},
    OptionRow{"version", 0, no_argument, "  --version         the version of opfreq",
              [](Parser& p, const std::string&) { return p.askForVersion(), true; }},
    OptionRow{nullptr, 0, 0, "  -                 read the image from standard input", nullptr},
    OptionRow{nullptr, 0, 0,
              "  --                every argument after it is a file name, even one starting "
              "with -",
              nullptr},
    OptionRow{"json", 0, no_argument,
              "  --json            one JSON object a file, a line each: every opcode and every "
              "call",
              [](Parser& p, const std::string&) { return p.setView(ViewFormat::Json); }},
    OptionRow{"dot", 0, no_argument,
              "  --dot             the call graph in Graphviz's dot language, a digraph a file",
              [](Parser& p, const std::string&) {
                return p.setView(ViewFormat::Dot) && p.askForFunctions();
              }},
    // Its lines of --help come from kCsvTables.
    OptionRow{"csv", 0, optional_argument, "",
              [](Parser& p, const std::string& value) { return p.takeCsv(value); }},
    OptionRow{"symbols", 0, required_argument,
              "  --symbols FILE    names for call targets: an SDCC .map, a Keil .m51, or ADDR NAME "
              "lines",
              [](Parser& p, const std::string& value) {
                p.request().symbols = value;
                return true;
              }},
    OptionRow{"maps", 0, no_argument,
              "  --maps            names from NAME.map (or NAME.m51) beside each input NAME.ext",
              [](Parser& p, const std::string&) { return p.request().maps = true; }},
    OptionRow{"output", 'o', required_argument,
              "  -o, --output FILE write to FILE, whole or not at all, instead of standard "
              "output (-)",
              [](Parser& p, const std::string& value) {
                p.request().output = value;
                return true;
              }},
    OptionRow{"follow", 0, no_argument,
              "  --follow          count only the code reached from 0000h and the interrupt "
              "vectors",
              [](Parser& p, const std::string&) { return p.request().sweep.follow = true; }},
    OptionRow{"entry", 0, required_argument,
              "  --entry ADDR|NAME one more entry point for --follow, or a name from --symbols "
              "(repeatable)",
              [](Parser& p, const std::string& value) { return p.takeEntry(value); }},
    OptionRow{"entry-symbols", 0, no_argument,
              "  --entry-symbols   every code symbol of --symbols is an entry point for --follow",
              [](Parser& p, const std::string&) { return p.request().sweep.entrySymbols = true; }},
    OptionRow{"vectors", 0, required_argument,
              "  --vectors ADDR    the reset address and the vectors after it for --follow "
              "(0000h)",
              [](Parser& p, const std::string& value) {
                return p.takeAddress("--vectors", value,
                                     [&](uint16_t a) { p.request().sweep.vectors = a; });
              }},
    OptionRow{"functions", 0, no_argument,
              "  --functions       a profile of each function of the code that --follow reaches",
              [](Parser& p, const std::string&) { return p.askForFunctions(); }},
    OptionRow{"compare", 0, no_argument,
              "  --compare         two builds, OLD NEW: the bytes, functions and opcodes that "
              "changed",
              [](Parser& p, const std::string&) { return p.askToCompare(); }},
    OptionRow{"markdown", 0, no_argument,
              "  --markdown        --compare as a Markdown table, for a pull request's comment",
              [](Parser& p, const std::string&) { return p.setView(ViewFormat::Markdown); }},
    OptionRow{"max-growth", 0, required_argument,
              "  --max-growth N    --compare ends with status 3 when the code grew by more than N "
              "bytes",
              [](Parser& p, const std::string& value) { return p.takeGrowth(value); }},
    OptionRow{"written", 0, no_argument,
              "  --written         count only the bytes that a HEX or S-record file wrote",
              [](Parser& p, const std::string&) { return p.request().sweep.written = true; }},
    OptionRow{"range", 0, required_argument,
              "  --range FROM-TO   sweep image offsets FROM to TO, at most 64 KiB (a bank)",
              [](Parser& p, const std::string& value) { return p.takeRange(value); }},
    OptionRow{"at", 0, required_argument,
              "  --at ADDR         the code address of the first offset swept (a bank's base)",
              [](Parser& p, const std::string& value) {
                return p.takeAddress("--at", value, [&](uint16_t a) { p.request().sweep.at = a; });
              }},
};

// getopt_long's value for a long option: its row's index past every character, so that a fault
// in one is told apart from one in a short option.
constexpr int kFirstLongValue = 256;

std::string nameOf(int value) {
  if (value < kFirstLongValue) return std::string("-") + static_cast<char>(value);
  return std::string("--") + kOptions[static_cast<size_t>(value - kFirstLongValue)].name;
}

const OptionRow* rowOf(int value) {
  if (value >= kFirstLongValue) return &kOptions[static_cast<size_t>(value - kFirstLongValue)];
  const auto row = std::find_if(kOptions.begin(), kOptions.end(),
                                [&](const OptionRow& r) { return r.letter == value; });
  return row != kOptions.end() ? &*row : nullptr;
}

// The long options that `given` ("--f") abbreviates, when it could be more than one of them:
// "--follow, --functions". Empty when it is one or none.
std::string candidatesOf(std::string_view given) {
  if (!given.starts_with("--")) return "";
  std::string candidates;
  int count = 0;
  for (const OptionRow& row : kOptions) {
    if (row.name == nullptr || !std::string_view(row.name).starts_with(given.substr(2))) continue;
    candidates += count++ > 0 ? ", --" : "--";
    candidates += row.name;
  }
  return count > 1 ? candidates : "";
}

bool isOption(const std::string& arg, bool slashHelp) {
  return (arg.size() > 1 && arg[0] == '-') || (slashHelp && arg == "/?");
}

// Where an option's help starts in its line of --help, past the option's name.
constexpr size_t kHelpColumn = 18;

// "  --csv=calls       CSV, a row a called address: file,address,lcall,acall,count,name"
std::string csvHelp(const CsvTableRow& table) {
  std::string option = table.table == CsvTable::Opcodes ? "--csv, --csv=opcodes"
                                                        : "--csv=" + std::string(table.name);
  option.resize(std::max(option.size() + 2, kHelpColumn), ' ');
  return "  " + option + std::string(table.what) + ": " + std::string(table.columns);
}

}  // namespace

std::vector<std::string> optionHelp() {
  std::vector<std::string> lines;
  for (const OptionRow& row : kOptions) {
    if (row.help.empty()) {
      for (const CsvTableRow& table : kCsvTables) lines.push_back(csvHelp(table));
      continue;
    }
    for (std::string_view help = row.help;;) {
      const size_t end = help.find('\n');
      lines.emplace_back(help.substr(0, end));
      if (end == std::string_view::npos) break;
      help.remove_prefix(end + 1);
    }
  }
  return lines;
}

std::vector<std::string> optionNames() {
  std::vector<std::string> names;
  for (const OptionRow& row : kOptions) {
    if (row.name != nullptr) names.push_back(std::string("--") + row.name);
    if (row.letter != 0) names.push_back(std::string("-") + row.letter);
  }
  return names;
}

CommandLine parseCommandLine(const std::vector<std::string>& args, bool slashHelp) {
  CommandLine line;
  if (args.empty()) return line;
  if (std::none_of(args.begin(), args.end(),
                   [&](const auto& a) { return isOption(a, slashHelp); })) {
    line.kind = CommandLine::Kind::Joined;
    for (size_t i = 0; i < args.size(); ++i) line.name += (i > 0 ? " " : "") + args[i];
    return line;
  }

  // getopt_long permutes its argument vector and keeps its place in globals: it gets copies,
  // and starts afresh.
  std::vector<std::string> copies{"opfreq"};
  copies.reserve(args.size() + 1);
  bool ended = false;
  for (const std::string& arg : args) {
    ended = ended || arg == "--";
    copies.push_back(!ended && slashHelp && arg == "/?" ? "--help" : arg);
  }
  std::vector<char*> argv;
  argv.reserve(copies.size() + 1);
  for (std::string& copy : copies) argv.push_back(copy.data());
  argv.push_back(nullptr);
  std::vector<option> longOptions;
  std::string shortOptions = ":";
  for (size_t i = 0; i < kOptions.size(); ++i) {
    const OptionRow& row = kOptions[i];
    if (row.take == nullptr) continue;
    longOptions.push_back({row.name, row.argument, nullptr, kFirstLongValue + static_cast<int>(i)});
    if (row.letter != 0) {
      shortOptions += row.letter;
      if (row.argument == required_argument) shortOptions += ':';
    }
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});
  optind = 0;
  opterr = 0;
  Parser parser(line);
  const int argc = static_cast<int>(copies.size());
  for (int value; (value = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(),
                                       nullptr)) != -1;) {
    if (value == ':') return parser.wrong("option " + nameOf(optopt) + " needs a value"), line;
    if (value == '?') {
      if (optopt >= kFirstLongValue)
        return parser.wrong("option " + nameOf(optopt) + " takes no value"), line;
      std::string given = optopt != 0 ? nameOf(optopt) : argv[static_cast<size_t>(optind - 1)];
      given.resize(std::min(given.size(), given.find('=')));
      if (const std::string candidates = candidatesOf(given); !candidates.empty()) {
        given += " is ambiguous: ";
        given += candidates;
        return parser.refuse(Problem::ofText("", std::move(given), kUsageWrong)), line;
      }
      return parser.wrong("unknown option " + given), line;
    }
    // An empty value ("-o ''", "--csv=") names nothing: it is never taken as no value at all.
    if (optarg != nullptr && *optarg == '\0')
      return parser.wrong("option " + nameOf(value) + " needs a value, not an empty one"), line;
    if (!rowOf(value)->take(parser, optarg != nullptr ? optarg : "")) return line;
  }
  line.request.files.assign(argv.begin() + optind, std::prev(argv.end()));
  parser.finish();
  return line;
}

}  // namespace opfreq
