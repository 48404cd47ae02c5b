// Names for code addresses, from the linker's map or a plain list, so that call targets can be
// shown by name.
//
// Accepted text, line by line:
// - an SDCC linker map (sdcc writes main.map beside main.ihx): under a "Value  Global" heading,
//   the code-space lines "C:   0000006D  _f  ..."; once such a heading has been seen, nothing
//   else is read as a name;
// - otherwise a plain list, one "ADDR NAME" a line, ADDR in hex with or without 0x or a trailing
//   h; lines of another shape are ignored.
// Values above FFFFh are ignored. Where an address has several names, the first that does not
// begin with l_ or s_ (the linker's area lengths and starts) is taken, else the first.
#ifndef OPFREQ_FILEIN_SYMBOL_FILE_H_
#define OPFREQ_FILEIN_SYMBOL_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace opfreq {

// A hex number with or without 0x in front or h after it; none for anything else.
std::optional<uint64_t> parseHexNumber(std::string_view text);

class SymbolTable {
 public:
  // Reads one line of a map or list, in file order.
  void addLine(std::string_view line);
  // The name of `address`, empty when it has none.
  std::string_view nameOf(uint16_t address) const;

 private:
  void add(uint64_t value, std::string_view name);

  std::vector<std::pair<uint16_t, std::string>> names_;  // ascending addresses, one name each
  bool inMap_ = false;
};

struct SymbolFile {
  SymbolTable symbols;
  std::string problem;  // why the file could not be read; empty when it was
};

// Reads the file `name`.
SymbolFile readSymbolFile(std::string_view name);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_SYMBOL_FILE_H_
