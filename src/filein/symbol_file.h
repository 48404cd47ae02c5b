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
//   own area sizes;
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

namespace opfreq {

constexpr int64_t kSymbolTextLimit = int64_t{64} << 20;

class SymbolTable {
 public:
  // The name of `address`, empty when it has none.
  std::string_view nameOf(uint16_t address) const;
  // The first code symbol at `address`, in file order; empty when there is none.
  std::string_view codeNameOf(uint16_t address) const;
  // The address of a symbol called `name`: the lowest, when several are.
  std::optional<uint16_t> addressOf(std::string_view name) const;
  // The code symbols in ascending address order, each address once.
  std::vector<uint16_t> codeAddresses() const;
  bool empty() const { return symbols_.empty(); }
  friend bool operator==(const SymbolTable&, const SymbolTable&) = default;

 private:
  friend class SymbolReader;
  // Each symbol as one number, address << 48 | the start of its name in names_ << 1 | whether it
  // is code: one sort of plain numbers puts them by address, then in file order.
  std::vector<uint64_t> symbols_;
  std::string names_;  // every name, each ended by a line end, which no name holds

  std::span<const uint64_t> at(uint16_t address) const;
  std::string_view nameAt(uint64_t symbol) const;
};

// Reads the text of a map or list as it arrives, in pieces split anywhere.
class SymbolReader {
 public:
  void feed(std::span<const uint8_t> text);
  // The symbols of all the text fed.
  SymbolTable finish();

 private:
  void endLine();
  void add(uint64_t value, std::string_view name, bool code);

  SymbolTable table_;
  std::string line_;
  bool started_ = false;      // past a byte order mark, if there is one
  bool afterReturn_ = false;  // the last line ended in CR, which an LF may follow
  bool inMap_ = false;
  bool codeArea_ = false;  // the map's current area holds code
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
