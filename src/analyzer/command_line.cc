#include "analyzer/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <iterator>

#include "filein/input_image.h"
#include "filein/symbol_file.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

// Long options have values of their own, beyond any character, so that a fault in one is
// told apart from one in a short option.
enum LongOption : int {
  kHelp = 256,
  kVersion,
  kJson,
  kCsv,
  kSymbols,
  kOutput,
  kFollow,
  kEntry,
  kWritten,
  kRange,
  kAt
};

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"json", no_argument, nullptr, kJson},
    {"csv", optional_argument, nullptr, kCsv},
    {"symbols", required_argument, nullptr, kSymbols},
    {"output", required_argument, nullptr, kOutput},
    {"follow", no_argument, nullptr, kFollow},
    {"entry", required_argument, nullptr, kEntry},
    {"written", no_argument, nullptr, kWritten},
    {"range", required_argument, nullptr, kRange},
    {"at", required_argument, nullptr, kAt},
    {nullptr, 0, nullptr, 0},
};

std::string nameOf(int value) {
  if (value < kHelp) return std::string("-") + static_cast<char>(value);
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && o.val == value) return std::string("--") + o.name;
  }
  return "?";
}

bool isOption(const std::string& arg, bool slashHelp) {
  return (arg.size() > 1 && arg[0] == '-') || (slashHelp && arg == "/?");
}

// A code address in hex.
std::optional<uint16_t> parseAddress(const std::string& text) {
  const std::optional<uint64_t> value = parseHexNumber(text);
  if (!value || *value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

class Parser {
 public:
  explicit Parser(CommandLine& line) : line_(line), request_(line.request) {}

  // Takes one option and its value; false when it is wrong.
  bool take(int value, const std::string& argument) {
    switch (value) {
      case 'h':
      case kHelp:
        help_ = true;
        return true;
      case kVersion:
        version_ = true;
        return true;
      case kJson:
        return setView(View::Json);
      case kCsv:
        if (argument.empty() || argument == "opcodes") return setView(View::CsvOpcodes);
        if (argument == "calls") return setView(View::CsvCalls);
        return wrong("--csv=" + argument + ": the table is opcodes or calls");
      case kSymbols:
        request_.symbols = argument;
        return true;
      case 'o':
      case kOutput:
        request_.output = argument;
        return true;
      case kFollow:
        request_.sweep.follow = true;
        return true;
      case kWritten:
        request_.sweep.written = true;
        return true;
      case kEntry:
        return takeAddress("--entry", argument,
                           [&](uint16_t a) { request_.sweep.entries.push_back(a); });
      case kAt:
        return takeAddress("--at", argument, [&](uint16_t a) { request_.sweep.at = a; });
      case kRange:
        return takeRange(argument);
      default:
        return wrong("unknown option");
    }
  }

  // The checks that need every option.
  bool finish() {
    if (help_ || version_) {
      line_.kind = help_ ? CommandLine::Kind::Help : CommandLine::Kind::Version;
      return true;
    }
    if (!request_.sweep.entries.empty() && !request_.sweep.follow) {
      return wrong("--entry adds an entry point to --follow, which is not given");
    }
    if (request_.files.empty()) return wrong("no image named");
    line_.kind = CommandLine::Kind::Request;
    return true;
  }

  bool wrong(std::string problem) {
    line_.kind = CommandLine::Kind::Wrong;
    line_.problem = std::move(problem);
    return false;
  }

 private:
  bool setView(View view) {
    if (viewSet_ && request_.view != view)
      return wrong("give one view: --json, --csv or --csv=calls");
    request_.view = view;
    viewSet_ = true;
    return true;
  }

  template <typename Use>
  bool takeAddress(const char* option, const std::string& argument, Use use) {
    const std::optional<uint16_t> address = parseAddress(argument);
    if (!address)
      return wrong(std::string(option) + " " + argument + ": not an address 0 to FFFF in hex");
    use(*address);
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
    if (*to - *from >= kRegionLimit) return wrong("--range " + argument + ": wider than 64 KiB");
    if (*to >= static_cast<uint64_t>(kMaxFileSize)) {
      return wrong("--range " + argument + ": past " + hexDigits(kMaxFileSize - 1, 5) +
                   "h, the last offset of the largest image opfreq reads");
    }
    request_.sweep.rangeFrom = static_cast<int64_t>(*from);
    request_.sweep.rangeTo = static_cast<int64_t>(*to);
    return true;
  }

  CommandLine& line_;
  Request& request_;
  bool help_ = false;
  bool version_ = false;
  bool viewSet_ = false;
};

}  // namespace

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
  optind = 0;
  opterr = 0;
  Parser parser(line);
  const int argc = static_cast<int>(copies.size());
  for (int value; (value = getopt_long(argc, argv.data(), ":ho:", kLongOptions, nullptr)) != -1;) {
    if (value == ':') return parser.wrong("option " + nameOf(optopt) + " needs a value"), line;
    if (value == '?') {
      if (optopt >= kHelp)
        return parser.wrong("option " + nameOf(optopt) + " takes no value"), line;
      const std::string given =
          optopt != 0 ? nameOf(optopt) : argv[static_cast<size_t>(optind - 1)];
      return parser.wrong("unknown option " + given.substr(0, given.find('='))), line;
    }
    // An empty value ("-o ''", "--csv=") names nothing: it is never taken as no value at all.
    if (optarg != nullptr && *optarg == '\0')
      return parser.wrong("option " + nameOf(value) + " needs a value, not an empty one"), line;
    if (!parser.take(value, optarg != nullptr ? optarg : "")) return line;
  }
  line.request.files.assign(argv.begin() + optind, std::prev(argv.end()));
  parser.finish();
  return line;
}

}  // namespace opfreq
