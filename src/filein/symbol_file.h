// Names for code addresses, from the linker's map or a plain list, so that call targets can be
// shown by name and code can be found where nothing calls it.
//
// Accepted text, line by line (a line ends in LF, CR LF or CR; a UTF-8 byte order mark in front
// is skipped):
// - an SDCC linker map (sdcc writes main.map beside main.ihx): under a "Value  Global" heading,
//   the code-space lines "C:   0000006D  _f  ..."; once such a heading has been seen, nothing
//   else is read as a name. Each area's line ("CSEG  0000006D  000000A6 = 166. bytes
//   (REL,CON,CODE)") says whether the names under it are code: those of an area with the CODE
//   attribute, but for CONST, XINIT and CABS, which hold tables, initial values and the linker's
//   own area sizes. A map of a --debug build names more: A$ and C$ symbols mark assembler and C
//   lines and are no names; G$name$... marks the start of a global function (whose name is
//   SDCC's _name beside it); F<module>$name$... names a static function, module:name, whose
//   start is code; XG$... and XF...$... mark a function's last instruction;
// - a Keil map (keil_map.h);
// - otherwise a plain list, one "ADDR NAME" a line, ADDR in hex with or without 0x or a trailing
//   h; lines of another shape are ignored. Every name of a list is code.
// Values above FFFFh are ignored. Where an address has several names, the first that does not
// begin with l_ or s_ (the linker's area lengths and starts) is its name, else the first.
//
// The text is read whole, then sorted once, so that the order of the lines costs nothing. Text
// of more than kSymbolTextLimit bytes is refused: a map is some kilobytes, and a device that
// never ends must not be read for ever. What is kept of it is bounded too: the names in one
// block, and eight bytes a symbol, so that 64 MiB of one-letter names takes some 200 MiB and
// one endless line no more than itself.
#ifndef OPFREQ_FILEIN_SYMBOL_FILE_H_
#define OPFREQ_FILEIN_SYMBOL_FILE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filein/keil_map.h"
#include "filein/map_words.h"

namespace opfreq {

constexpr int64_t kSymbolTextLimit = int64_t{64} << 20;

// A function whose start and last instruction a debug map marks.
struct FunctionRange {
  uint16_t start;
  uint16_t end;  // its last instruction's address
  friend bool operator==(const FunctionRange&, const FunctionRange&) = default;
};

class SymbolTable {
 public:
  // The name of `address`, empty when it has none.
  std::string_view nameOf(uint16_t address) const;
  // The name of the code that starts at `address`: its name where a code symbol is there, else
  // a name that is no linker area's (a library routine's public name); empty when it has none.
  std::string_view codeNameOf(uint16_t address) const;
  // The address of a symbol called `name`: the lowest, when several are.
  std::optional<uint16_t> addressOf(std::string_view name) const;
  // The code symbols in ascending address order, each address once.
  std::vector<uint16_t> codeAddresses() const;
  // The functions a debug map marks, ascending by start.
  const std::vector<FunctionRange>& functionRanges() const { return ranges_; }
  bool empty() const { return symbols_.empty(); }
  friend bool operator==(const SymbolTable&, const SymbolTable&) = default;

 private:
  friend class SymbolReader;
  // Each symbol as one number: its address, whether it is a fallback name, the start of its text
  // in names_, and its kind (SymbolKind), from the top bit down. One sort of plain numbers puts
  // them by address, the fallback names last, then in file order.
  std::vector<uint64_t> symbols_;
  std::string names_;  // every name, each ended by a line end, which no name holds
  std::vector<FunctionRange> ranges_;

  std::span<const uint64_t> at(uint16_t address) const;
  std::string_view nameAt(uint64_t symbol) const;
  // The first name among `here`, the linker's area symbols too with `areas`; empty for none.
  std::string_view firstName(std::span<const uint64_t> here, bool areas) const;
};

// Reads the text of a map or list as it arrives, in pieces split anywhere.
class SymbolReader {
 public:
  void feed(std::span<const uint8_t> text);
  // The symbols of all the text fed.
  SymbolTable finish();

 private:
  class Sink;
  void endLine();
  void sdccSymbol(uint64_t value, std::string_view name);
  void add(uint64_t value, std::string_view name, SymbolKind kind, bool fallback);
  void pairRanges();

  SymbolTable table_;
  std::string line_;
  bool started_ = false;      // past a byte order mark, if there is one
  bool afterReturn_ = false;  // the last line ended in CR, which an LF may follow
  bool inMap_ = false;        // an SDCC map
  bool codeArea_ = false;     // the map's current area holds code
  std::optional<KeilMap> keil_;
};

struct SymbolFile {
  SymbolTable symbols;
  std::string problem;  // why the file could not be read; empty when it was
  int error = 0;        // errno of a failed open or read, with `problem` its text
};

// Reads the file `name`; with `regularOnly`, only when it is a regular file (see
// BinaryFile::openRegular).
SymbolFile readSymbolFile(std::string_view name, bool regularOnly = false);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_SYMBOL_FILE_H_
