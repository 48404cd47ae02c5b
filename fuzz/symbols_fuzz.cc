// Any text, read as a linker map or a list of names: the first byte picks the size of the
// pieces it arrives in. Pieces of any size must give what the whole text gives, a name never
// holds a blank or a line end, and every code address has a name that leads back to it.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "filein/symbol_file.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

opfreq::SymbolTable read(std::span<const uint8_t> text, size_t piece) {
  opfreq::SymbolReader reader;
  for (size_t at = 0; at < text.size(); at += piece) {
    reader.feed(text.subspan(at, std::min(piece, text.size() - at)));
  }
  return reader.finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> text(data + 1, size - 1);
  const opfreq::SymbolTable whole = read(text, text.size() + 1);
  check(read(text, 1 + data[0] % 17) == whole);
  for (const uint16_t address : whole.codeAddresses()) {
    const std::string_view name = whole.codeNameOf(address);
    check(!name.empty() && !whole.nameOf(address).empty());
    check(name.find_first_of(" \t\r\n") == std::string_view::npos);
    const std::optional<uint16_t> found = whole.addressOf(name);
    check(found && *found <= address);
  }
  return 0;
}
