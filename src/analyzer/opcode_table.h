// OpcodeTable: what opfreq knows of the MCS-51 instruction set, one row per opcode byte.
// `mnemonic` is the text of the report's mnemonic column (operands as placeholders, never a
// real disassembly, at most 23 characters); `cmdlen` is the whole instruction's length in bytes,
// opcode included. The undefined opcode A5h counts as a one-byte instruction.
#ifndef OPFREQ_ANALYZER_OPCODE_TABLE_H_
#define OPFREQ_ANALYZER_OPCODE_TABLE_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace opfreq {

struct OpcodeEntry {
  std::string_view mnemonic;
  int32_t cmdlen;
};

extern const std::array<OpcodeEntry, 256> OpcodeTable;

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_OPCODE_TABLE_H_
