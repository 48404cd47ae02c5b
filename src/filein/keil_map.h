// The linker maps of Keil C51: BL51's (NAME.m51, its header naming the BL51 linker) and LX51's
// (its header naming LX51). Each is read section by section:
// - BL51: the LINK MAP OF MODULE table lists the segments as TYPE BASE LENGTH RELOCATION NAME;
//   in the SYMBOL TABLE OF MODULE, the "C:xxxxH PUBLIC name" lines and the PROC names (at the
//   first code address that follows them) are names.
// - LX51: the MEMORY MAP rows of class CODE are the segments; the PUBLIC SYMBOLS and SYMBOL
//   TABLE rows of class CODE give names. Their value's top byte is the memory space (01 for
//   code); a row marked *DEL* was removed by the linker and is dropped.
// For both, code starts (entry points, function starts) at the base of each ?PR?FUNC?MODULE
// segment, one function named FUNC, and of ?C_C51STARTUP; ?CO? segments (constants) and
// ?C_INITSEG (initial values) are data. A segment's name names its base only where the map has
// no public name for it.
#ifndef OPFREQ_FILEIN_KEIL_MAP_H_
#define OPFREQ_FILEIN_KEIL_MAP_H_

#include <string>
#include <string_view>

#include "filein/map_words.h"

namespace opfreq {

class KeilMap {
 public:
  enum class Linker { None, Bl51, Lx51 };

  // The linker whose header `line` is, or None.
  static Linker headerOf(std::string_view line);

  explicit KeilMap(Linker linker) : linker_(linker) {}
  // One line of the map, its symbols to `sink`.
  void line(std::string_view text, const LineWords& words, SymbolSink& sink);

 private:
  enum class Section { Other, Segments, Publics, Symbols };

  void segment(std::string_view base, std::string_view name, SymbolSink& sink) const;
  void symbol(std::string_view value, std::string_view name, SymbolSink& sink) const;

  Linker linker_;
  Section section_ = Section::Other;
  std::string procedure_;  // BL51: a PROC whose address is the next code line's
};

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_KEIL_MAP_H_
