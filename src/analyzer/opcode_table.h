// OpcodeTable: what opfreq knows of the MCS-51 instruction set, one row per opcode byte.
// `mnemonic` is the text of the report's mnemonic column (operands as placeholders, never a
// real disassembly, at most 23 characters); `cmdlen` is the whole instruction's length in bytes,
// opcode included; `flow` is where control goes after it. The undefined opcode A5h counts as a
// one-byte instruction.
#ifndef OPFREQ_ANALYZER_OPCODE_TABLE_H_
#define OPFREQ_ANALYZER_OPCODE_TABLE_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace opfreq {

// Where control goes after an instruction.
enum class Flow : uint8_t {
  Next,       // to the next instruction
  Jump,       // to its target only: LJMP, AJMP, SJMP
  Branch,     // to its target or the next: JC, JNC, JZ, JNZ, JB, JNB, JBC, CJNE, DJNZ
  Call,       // to its target, and back to the next: LCALL, ACALL
  Return,     // back to a caller: RET, RETI
  Indirect,   // to an address computed at run time: JMP @A+DPTR
  Undefined,  // nowhere that can be known: the undefined A5h
};

// The 8051's code memory: what 16-bit addresses reach, and the most any sweep reads.
inline constexpr int64_t kCodeSpace = 65536;

// The opcodes that the tracers and the legacy sweep look for by name.
inline constexpr uint8_t kNop = 0x00;
inline constexpr uint8_t kLjmp = 0x02;
inline constexpr uint8_t kLcall = 0x12;
inline constexpr uint8_t kRet = 0x22;
inline constexpr uint8_t kAddImmediate = 0x24;  // ADD A,#data
inline constexpr uint8_t kReti = 0x32;
inline constexpr uint8_t kJmpIndirect = 0x73;  // JMP @A+DPTR
inline constexpr uint8_t kSjmp = 0x80;
inline constexpr uint8_t kMovcPc = 0x83;    // MOVC A,@A+PC
inline constexpr uint8_t kMovDptr = 0x90;   // MOV DPTR,#data16
inline constexpr uint8_t kMovcDptr = 0x93;  // MOVC A,@A+DPTR
inline constexpr uint8_t kPop = 0xD0;
inline constexpr uint8_t kClrA = 0xE4;
inline constexpr uint8_t kMovDirectA = 0xF5;  // MOV direct,A
inline constexpr uint8_t kMovR7A = 0xFF;      // also erased EPROM and flash
// The eight AJMP and eight ACALL opcodes: the low five bits, the top three being address bits.
constexpr bool isAjmp(uint8_t op) { return (op & 0x1F) == 0x01; }
constexpr bool isAcall(uint8_t op) { return (op & 0x1F) == 0x11; }

struct OpcodeEntry {
  std::string_view mnemonic;
  int32_t cmdlen;
  Flow flow;
};

// Columns: mnemonic text, instruction length in bytes, flow. Row index = opcode value.
// The eight AJMP and eight ACALL opcodes carry address bits 10 to 8 in their top three bits,
// which the text does not show; 00h, FFh and A5h also name the byte itself, because they are
// what fill and data areas are made of.
inline constexpr std::array<OpcodeEntry, 256> OpcodeTable = {{
    {"NOP (or byte 00h)", 1, Flow::Next},        // 00
    {"AJMP addr", 2, Flow::Jump},                // 01
    {"LJMP addr", 3, Flow::Jump},                // 02
    {"RR A", 1, Flow::Next},                     // 03
    {"INC A", 1, Flow::Next},                    // 04
    {"INC direct", 2, Flow::Next},               // 05
    {"INC @R0", 1, Flow::Next},                  // 06
    {"INC @R1", 1, Flow::Next},                  // 07
    {"INC R0", 1, Flow::Next},                   // 08
    {"INC R1", 1, Flow::Next},                   // 09
    {"INC R2", 1, Flow::Next},                   // 0A
    {"INC R3", 1, Flow::Next},                   // 0B
    {"INC R4", 1, Flow::Next},                   // 0C
    {"INC R5", 1, Flow::Next},                   // 0D
    {"INC R6", 1, Flow::Next},                   // 0E
    {"INC R7", 1, Flow::Next},                   // 0F
    {"JBC bit,addr", 3, Flow::Branch},           // 10
    {"ACALL addr", 2, Flow::Call},               // 11
    {"LCALL addr", 3, Flow::Call},               // 12
    {"RRC A", 1, Flow::Next},                    // 13
    {"DEC A", 1, Flow::Next},                    // 14
    {"DEC direct", 2, Flow::Next},               // 15
    {"DEC @R0", 1, Flow::Next},                  // 16
    {"DEC @R1", 1, Flow::Next},                  // 17
    {"DEC R0", 1, Flow::Next},                   // 18
    {"DEC R1", 1, Flow::Next},                   // 19
    {"DEC R2", 1, Flow::Next},                   // 1A
    {"DEC R3", 1, Flow::Next},                   // 1B
    {"DEC R4", 1, Flow::Next},                   // 1C
    {"DEC R5", 1, Flow::Next},                   // 1D
    {"DEC R6", 1, Flow::Next},                   // 1E
    {"DEC R7", 1, Flow::Next},                   // 1F
    {"JB bit,addr", 3, Flow::Branch},            // 20
    {"AJMP addr", 2, Flow::Jump},                // 21
    {"RET", 1, Flow::Return},                    // 22
    {"RL A", 1, Flow::Next},                     // 23
    {"ADD A,#data", 2, Flow::Next},              // 24
    {"ADD A,direct", 2, Flow::Next},             // 25
    {"ADD A,@R0", 1, Flow::Next},                // 26
    {"ADD A,@R1", 1, Flow::Next},                // 27
    {"ADD A,R0", 1, Flow::Next},                 // 28
    {"ADD A,R1", 1, Flow::Next},                 // 29
    {"ADD A,R2", 1, Flow::Next},                 // 2A
    {"ADD A,R3", 1, Flow::Next},                 // 2B
    {"ADD A,R4", 1, Flow::Next},                 // 2C
    {"ADD A,R5", 1, Flow::Next},                 // 2D
    {"ADD A,R6", 1, Flow::Next},                 // 2E
    {"ADD A,R7", 1, Flow::Next},                 // 2F
    {"JNB bit,addr", 3, Flow::Branch},           // 30
    {"ACALL addr", 2, Flow::Call},               // 31
    {"RETI", 1, Flow::Return},                   // 32
    {"RLC A", 1, Flow::Next},                    // 33
    {"ADDC A,#data", 2, Flow::Next},             // 34
    {"ADDC A,direct", 2, Flow::Next},            // 35
    {"ADDC A,@R0", 1, Flow::Next},               // 36
    {"ADDC A,@R1", 1, Flow::Next},               // 37
    {"ADDC A,R0", 1, Flow::Next},                // 38
    {"ADDC A,R1", 1, Flow::Next},                // 39
    {"ADDC A,R2", 1, Flow::Next},                // 3A
    {"ADDC A,R3", 1, Flow::Next},                // 3B
    {"ADDC A,R4", 1, Flow::Next},                // 3C
    {"ADDC A,R5", 1, Flow::Next},                // 3D
    {"ADDC A,R6", 1, Flow::Next},                // 3E
    {"ADDC A,R7", 1, Flow::Next},                // 3F
    {"JC addr", 2, Flow::Branch},                // 40
    {"AJMP addr", 2, Flow::Jump},                // 41
    {"ORL direct,A", 2, Flow::Next},             // 42
    {"ORL direct,#data", 3, Flow::Next},         // 43
    {"ORL A,#data", 2, Flow::Next},              // 44
    {"ORL A,direct", 2, Flow::Next},             // 45
    {"ORL A,@R0", 1, Flow::Next},                // 46
    {"ORL A,@R1", 1, Flow::Next},                // 47
    {"ORL A,R0", 1, Flow::Next},                 // 48
    {"ORL A,R1", 1, Flow::Next},                 // 49
    {"ORL A,R2", 1, Flow::Next},                 // 4A
    {"ORL A,R3", 1, Flow::Next},                 // 4B
    {"ORL A,R4", 1, Flow::Next},                 // 4C
    {"ORL A,R5", 1, Flow::Next},                 // 4D
    {"ORL A,R6", 1, Flow::Next},                 // 4E
    {"ORL A,R7", 1, Flow::Next},                 // 4F
    {"JNC addr", 2, Flow::Branch},               // 50
    {"ACALL addr", 2, Flow::Call},               // 51
    {"ANL direct,A", 2, Flow::Next},             // 52
    {"ANL direct,#data", 3, Flow::Next},         // 53
    {"ANL A,#data", 2, Flow::Next},              // 54
    {"ANL A,direct", 2, Flow::Next},             // 55
    {"ANL A,@R0", 1, Flow::Next},                // 56
    {"ANL A,@R1", 1, Flow::Next},                // 57
    {"ANL A,R0", 1, Flow::Next},                 // 58
    {"ANL A,R1", 1, Flow::Next},                 // 59
    {"ANL A,R2", 1, Flow::Next},                 // 5A
    {"ANL A,R3", 1, Flow::Next},                 // 5B
    {"ANL A,R4", 1, Flow::Next},                 // 5C
    {"ANL A,R5", 1, Flow::Next},                 // 5D
    {"ANL A,R6", 1, Flow::Next},                 // 5E
    {"ANL A,R7", 1, Flow::Next},                 // 5F
    {"JZ addr", 2, Flow::Branch},                // 60
    {"AJMP addr", 2, Flow::Jump},                // 61
    {"XRL direct,A", 2, Flow::Next},             // 62
    {"XRL direct,#data", 3, Flow::Next},         // 63
    {"XRL A,#data", 2, Flow::Next},              // 64
    {"XRL A,direct", 2, Flow::Next},             // 65
    {"XRL A,@R0", 1, Flow::Next},                // 66
    {"XRL A,@R1", 1, Flow::Next},                // 67
    {"XRL A,R0", 1, Flow::Next},                 // 68
    {"XRL A,R1", 1, Flow::Next},                 // 69
    {"XRL A,R2", 1, Flow::Next},                 // 6A
    {"XRL A,R3", 1, Flow::Next},                 // 6B
    {"XRL A,R4", 1, Flow::Next},                 // 6C
    {"XRL A,R5", 1, Flow::Next},                 // 6D
    {"XRL A,R6", 1, Flow::Next},                 // 6E
    {"XRL A,R7", 1, Flow::Next},                 // 6F
    {"JNZ addr", 2, Flow::Branch},               // 70
    {"ACALL addr", 2, Flow::Call},               // 71
    {"ORL C,bit", 2, Flow::Next},                // 72
    {"JMP @A+DPTR", 1, Flow::Indirect},          // 73
    {"MOV A,#data", 2, Flow::Next},              // 74
    {"MOV direct,#data", 3, Flow::Next},         // 75
    {"MOV @R0,#data", 2, Flow::Next},            // 76
    {"MOV @R1,#data", 2, Flow::Next},            // 77
    {"MOV R0,#data", 2, Flow::Next},             // 78
    {"MOV R1,#data", 2, Flow::Next},             // 79
    {"MOV R2,#data", 2, Flow::Next},             // 7A
    {"MOV R3,#data", 2, Flow::Next},             // 7B
    {"MOV R4,#data", 2, Flow::Next},             // 7C
    {"MOV R5,#data", 2, Flow::Next},             // 7D
    {"MOV R6,#data", 2, Flow::Next},             // 7E
    {"MOV R7,#data", 2, Flow::Next},             // 7F
    {"SJMP addr", 2, Flow::Jump},                // 80
    {"AJMP addr", 2, Flow::Jump},                // 81
    {"ANL C,bit", 2, Flow::Next},                // 82
    {"MOVC A,@A+PC", 1, Flow::Next},             // 83
    {"DIV AB", 1, Flow::Next},                   // 84
    {"MOV direct,direct", 3, Flow::Next},        // 85
    {"MOV direct,@R0", 2, Flow::Next},           // 86
    {"MOV direct,@R1", 2, Flow::Next},           // 87
    {"MOV direct,R0", 2, Flow::Next},            // 88
    {"MOV direct,R1", 2, Flow::Next},            // 89
    {"MOV direct,R2", 2, Flow::Next},            // 8A
    {"MOV direct,R3", 2, Flow::Next},            // 8B
    {"MOV direct,R4", 2, Flow::Next},            // 8C
    {"MOV direct,R5", 2, Flow::Next},            // 8D
    {"MOV direct,R6", 2, Flow::Next},            // 8E
    {"MOV direct,R7", 2, Flow::Next},            // 8F
    {"MOV DPTR,#data", 3, Flow::Next},           // 90
    {"ACALL addr", 2, Flow::Call},               // 91
    {"MOV bit,C", 2, Flow::Next},                // 92
    {"MOVC A,@A+DPTR", 1, Flow::Next},           // 93
    {"SUBB A,#data", 2, Flow::Next},             // 94
    {"SUBB A,direct", 2, Flow::Next},            // 95
    {"SUBB A,@R0", 1, Flow::Next},               // 96
    {"SUBB A,@R1", 1, Flow::Next},               // 97
    {"SUBB A,R0", 1, Flow::Next},                // 98
    {"SUBB A,R1", 1, Flow::Next},                // 99
    {"SUBB A,R2", 1, Flow::Next},                // 9A
    {"SUBB A,R3", 1, Flow::Next},                // 9B
    {"SUBB A,R4", 1, Flow::Next},                // 9C
    {"SUBB A,R5", 1, Flow::Next},                // 9D
    {"SUBB A,R6", 1, Flow::Next},                // 9E
    {"SUBB A,R7", 1, Flow::Next},                // 9F
    {"ORL C,/bit", 2, Flow::Next},               // A0
    {"AJMP addr", 2, Flow::Jump},                // A1
    {"MOV C,bit", 2, Flow::Next},                // A2
    {"INC DPTR", 1, Flow::Next},                 // A3
    {"MUL AB", 1, Flow::Next},                   // A4
    {"byte 0A5h", 1, Flow::Undefined},           // A5
    {"MOV @R0,direct", 2, Flow::Next},           // A6
    {"MOV @R1,direct", 2, Flow::Next},           // A7
    {"MOV R0,direct", 2, Flow::Next},            // A8
    {"MOV R1,direct", 2, Flow::Next},            // A9
    {"MOV R2,direct", 2, Flow::Next},            // AA
    {"MOV R3,direct", 2, Flow::Next},            // AB
    {"MOV R4,direct", 2, Flow::Next},            // AC
    {"MOV R5,direct", 2, Flow::Next},            // AD
    {"MOV R6,direct", 2, Flow::Next},            // AE
    {"MOV R7,direct", 2, Flow::Next},            // AF
    {"ANL C,/bit", 2, Flow::Next},               // B0
    {"ACALL addr", 2, Flow::Call},               // B1
    {"CPL bit", 2, Flow::Next},                  // B2
    {"CPL C", 1, Flow::Next},                    // B3
    {"CJNE A,#data,addr", 3, Flow::Branch},      // B4
    {"CJNE A,direct,addr", 3, Flow::Branch},     // B5
    {"CJNE @R0,#data,addr", 3, Flow::Branch},    // B6
    {"CJNE @R1,#data,addr", 3, Flow::Branch},    // B7
    {"CJNE R0,#data,addr", 3, Flow::Branch},     // B8
    {"CJNE R1,#data,addr", 3, Flow::Branch},     // B9
    {"CJNE R2,#data,addr", 3, Flow::Branch},     // BA
    {"CJNE R3,#data,addr", 3, Flow::Branch},     // BB
    {"CJNE R4,#data,addr", 3, Flow::Branch},     // BC
    {"CJNE R5,#data,addr", 3, Flow::Branch},     // BD
    {"CJNE R6,#data,addr", 3, Flow::Branch},     // BE
    {"CJNE R7,#data,addr", 3, Flow::Branch},     // BF
    {"PUSH direct", 2, Flow::Next},              // C0
    {"AJMP addr", 2, Flow::Jump},                // C1
    {"CLR bit", 2, Flow::Next},                  // C2
    {"CLR C", 1, Flow::Next},                    // C3
    {"SWAP A", 1, Flow::Next},                   // C4
    {"XCH A,direct", 2, Flow::Next},             // C5
    {"XCH A,@R0", 1, Flow::Next},                // C6
    {"XCH A,@R1", 1, Flow::Next},                // C7
    {"XCH A,R0", 1, Flow::Next},                 // C8
    {"XCH A,R1", 1, Flow::Next},                 // C9
    {"XCH A,R2", 1, Flow::Next},                 // CA
    {"XCH A,R3", 1, Flow::Next},                 // CB
    {"XCH A,R4", 1, Flow::Next},                 // CC
    {"XCH A,R5", 1, Flow::Next},                 // CD
    {"XCH A,R6", 1, Flow::Next},                 // CE
    {"XCH A,R7", 1, Flow::Next},                 // CF
    {"POP direct", 2, Flow::Next},               // D0
    {"ACALL addr", 2, Flow::Call},               // D1
    {"SETB bit", 2, Flow::Next},                 // D2
    {"SETB C", 1, Flow::Next},                   // D3
    {"DA A", 1, Flow::Next},                     // D4
    {"DJNZ direct,addr", 3, Flow::Branch},       // D5
    {"XCHD A,@R0", 1, Flow::Next},               // D6
    {"XCHD A,@R1", 1, Flow::Next},               // D7
    {"DJNZ R0,addr", 2, Flow::Branch},           // D8
    {"DJNZ R1,addr", 2, Flow::Branch},           // D9
    {"DJNZ R2,addr", 2, Flow::Branch},           // DA
    {"DJNZ R3,addr", 2, Flow::Branch},           // DB
    {"DJNZ R4,addr", 2, Flow::Branch},           // DC
    {"DJNZ R5,addr", 2, Flow::Branch},           // DD
    {"DJNZ R6,addr", 2, Flow::Branch},           // DE
    {"DJNZ R7,addr", 2, Flow::Branch},           // DF
    {"MOVX A,@DPTR", 1, Flow::Next},             // E0
    {"AJMP addr", 2, Flow::Jump},                // E1
    {"MOVX A,@R0", 1, Flow::Next},               // E2
    {"MOVX A,@R1", 1, Flow::Next},               // E3
    {"CLR A", 1, Flow::Next},                    // E4
    {"MOV A,direct", 2, Flow::Next},             // E5
    {"MOV A,@R0", 1, Flow::Next},                // E6
    {"MOV A,@R1", 1, Flow::Next},                // E7
    {"MOV A,R0", 1, Flow::Next},                 // E8
    {"MOV A,R1", 1, Flow::Next},                 // E9
    {"MOV A,R2", 1, Flow::Next},                 // EA
    {"MOV A,R3", 1, Flow::Next},                 // EB
    {"MOV A,R4", 1, Flow::Next},                 // EC
    {"MOV A,R5", 1, Flow::Next},                 // ED
    {"MOV A,R6", 1, Flow::Next},                 // EE
    {"MOV A,R7", 1, Flow::Next},                 // EF
    {"MOVX @DPTR,A", 1, Flow::Next},             // F0
    {"ACALL addr", 2, Flow::Call},               // F1
    {"MOVX @R0,A", 1, Flow::Next},               // F2
    {"MOVX @R1,A", 1, Flow::Next},               // F3
    {"CPL A", 1, Flow::Next},                    // F4
    {"MOV direct,A", 2, Flow::Next},             // F5
    {"MOV @R0,A", 1, Flow::Next},                // F6
    {"MOV @R1,A", 1, Flow::Next},                // F7
    {"MOV R0,A", 1, Flow::Next},                 // F8
    {"MOV R1,A", 1, Flow::Next},                 // F9
    {"MOV R2,A", 1, Flow::Next},                 // FA
    {"MOV R3,A", 1, Flow::Next},                 // FB
    {"MOV R4,A", 1, Flow::Next},                 // FC
    {"MOV R5,A", 1, Flow::Next},                 // FD
    {"MOV R6,A", 1, Flow::Next},                 // FE
    {"MOV R7,A (or byte 0FFh)", 1, Flow::Next},  // FF
}};

// Where jumps, branches and calls lead, the next instruction being at `next`. LJMP and LCALL
// hold the address whole; AJMP and ACALL hold bits 10 to 0 (the top three in the opcode), in the
// 2 KiB page of `next`; SJMP and the branches a signed offset from `next`, in their last byte.
constexpr uint16_t longTarget(const uint8_t* code) {
  return static_cast<uint16_t>(code[1] << 8 | code[2]);
}
constexpr uint16_t pageTarget(const uint8_t* code, uint16_t next) {
  return static_cast<uint16_t>((next & 0xF800) | (code[0] >> 5) << 8 | code[1]);
}
constexpr uint16_t relativeTarget(const uint8_t* code, size_t length, uint16_t next) {
  return static_cast<uint16_t>(next + static_cast<int8_t>(code[length - 1]));
}
// Any of them.
constexpr uint16_t targetOf(const uint8_t* code, uint16_t next) {
  const uint8_t op = code[0];
  if (op == kLjmp || op == kLcall) return longTarget(code);
  if (isAjmp(op) || isAcall(op)) return pageTarget(code, next);
  return relativeTarget(code, static_cast<size_t>(OpcodeTable[op].cmdlen), next);
}

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_OPCODE_TABLE_H_
