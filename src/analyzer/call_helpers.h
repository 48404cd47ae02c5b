// Routines that do not return to the byte after their call, as compilers write them: they pop
// their return address into DPTR and read data placed after the call. Keil C51 compiles a switch
// as LCALL ?C?CCASE followed by its table, and passes a long constant as four bytes after LCALL
// ?C?LSTKXDATA; IAR does the same with ?UC_SWITCH_DENSE and its relatives. Besides them, the
// routines through which compilers call a function pointer: control goes on after the call, but
// where the pointer led cannot be known.
//
// A known helper is recognised by its first bytes, at any address (kCallHelpers: a row each,
// with the layout of the data after its call). Any other routine pops its return address when
// the four bytes D0 83 D0 82 (POP DPH, POP DPL) lie within its first 12 bytes, reached through
// straight-line instructions from its start: what follows its call cannot be known.
#ifndef OPFREQ_ANALYZER_CALL_HELPERS_H_
#define OPFREQ_ANALYZER_CALL_HELPERS_H_

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "analyzer/region_code.h"

namespace opfreq {

// The layout of the data after a helper's call.
enum class HelperData : uint8_t {
  None,       // a call through a pointer: no data, and the call returns
  KeilCase,   // entries of `width` bytes (target high, target low, the case value), ended by a
              // target of 0000h, then the default target (high, low)
  IarDense,   // the lowest case value L, a count N, then N + 2 targets, each low byte first: the
              // default, then the targets of L to L + N
  IarSparse,  // a count of ranges, each (low, high, target); a count of values, each (value,
              // target); the default target. Counts, bounds and values are `width` bytes, low
              // byte first; a target two, low byte first
  Constant,   // `width` bytes of a constant, after which the call returns
};

struct CallHelper {
  std::string_view name;       // as JSON's sweep.inline names its data
  std::string_view signature;  // its first bytes in hex, ".." for any byte
  HelperData data;
  uint8_t width;
  // A row whose routine the LJMP that ends this signature must lead to; -1 for none.
  int8_t jumpsTo = -1;
};

inline constexpr std::array kCallHelpers = {
    CallHelper{"ccase",
               "D0 83 D0 82 F8 E4 93 70 12 74 01 93 70 0D A3 A3 93 F8 74 01 93 F5 82 88 83 E4 73 "
               "74 02 93 68 60 EF A3 A3 A3 80 DF",
               HelperData::KeilCase, 3},
    CallHelper{"icase",
               "D0 83 D0 82 F8 E4 93 70 12 74 01 93 70 0D A3 A3 93 F8 74 01 93 F5 82 88 83 E4 73 "
               "74 02 93 B5 F0 06 74 03 93 68 60 E9",
               HelperData::KeilCase, 4},
    CallHelper{"uc_dense",
               "D0 83 D0 82 C5 F0 E4 93 A3 C5 F0 C3 95 F0 F5 F0 E4 93 A3 C3 95 F0 40 05 E5 F0 04 "
               "80 01 E4 75 F0 02 A4 25 82 F5 82 E5 F0 35 83 F5 83 E4 93 A3 C0 E0 E4 93 C0 E0 22",
               HelperData::IarDense, 1},
    CallHelper{"uc_sparse", "D0 83 D0 82 CC C0 E0 E4 93 A3 60 06 12", HelperData::IarSparse, 1},
    CallHelper{"us_sparse", "D0 83 D0 82 EC C0 E0 ED C0 E0 E4 93 A3 FC E4 93 A3 FD ED 4C 60 0D 12",
               HelperData::IarSparse, 2},
    CallHelper{"constant", "A8 82 85 83 F0 D0 83 D0 82 12", HelperData::Constant, 4},  // XDATA
    CallHelper{"constant", "D0 83 D0 82 E4 93 F6 08 74 01 93 F6 08 74 02 93 F6 08 74 03",
               HelperData::Constant, 4},  // IDATA
    CallHelper{"constant", "D0 83 D0 82 E4 93 F2 08 74 01 93 F2 08 74 02 93 F2 08 74 03",
               HelperData::Constant, 4},  // PDATA
    CallHelper{"constant", "BB 01 0D E5 82 29 F5 82 E5 83 3A F5 83 02", HelperData::Constant, 4,
               5},  // OPTR, which goes on in the XDATA one
    // Through a pointer: SDCC's __sdcc_call_dptr, Keil's ?C?ICALL2 and ?C?ICALL, IAR's ?CALL_IND.
    CallHelper{"", "E4 73", HelperData::None, 0},
    CallHelper{"", "8A 83 89 82 E4 73", HelperData::None, 0},
};

// What a called routine is.
enum class Callee : uint8_t {
  Plain,       // returns to the byte after the call
  Helper,      // a known helper (which)
  PopsReturn,  // reads what follows its call in a way that cannot be known
};
struct CalleeKind {
  Callee kind = Callee::Plain;
  uint8_t helper = 0;  // Helper: its row in kCallHelpers
};

// What the routine at region index `start` is.
CalleeKind calleeAt(const RegionCode& code, size_t start);

// Whether the first bytes of known helper `row` hold a JMP @A+DPTR `offset` bytes from its start.
bool helperJumpsAt(size_t row, size_t offset);

// The data after a helper's call, read as far as it can be.
struct InlineData {
  size_t length = 0;              // the bytes of the whole entries read
  std::vector<uint16_t> targets;  // where control may go from the call
  bool returns = false;           // the call returns past the data, which was read whole
};
InlineData readInlineData(const RegionCode& code, const CallHelper& helper, size_t data);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CALL_HELPERS_H_
