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

// Columns: mnemonic text, instruction length in bytes. Row index = opcode value.
// The eight AJMP and eight ACALL opcodes carry address bits 10 to 8 in their top three bits,
// which the text does not show; 00h, FFh and A5h also name the byte itself, because they are
// what fill and data areas are made of.
inline constexpr std::array<OpcodeEntry, 256> OpcodeTable = {{
    {"NOP (or byte 00h)", 1},        // 00
    {"AJMP addr", 2},                // 01
    {"LJMP addr", 3},                // 02
    {"RR A", 1},                     // 03
    {"INC A", 1},                    // 04
    {"INC direct", 2},               // 05
    {"INC @R0", 1},                  // 06
    {"INC @R1", 1},                  // 07
    {"INC R0", 1},                   // 08
    {"INC R1", 1},                   // 09
    {"INC R2", 1},                   // 0A
    {"INC R3", 1},                   // 0B
    {"INC R4", 1},                   // 0C
    {"INC R5", 1},                   // 0D
    {"INC R6", 1},                   // 0E
    {"INC R7", 1},                   // 0F
    {"JBC bit,addr", 3},             // 10
    {"ACALL addr", 2},               // 11
    {"LCALL addr", 3},               // 12
    {"RRC A", 1},                    // 13
    {"DEC A", 1},                    // 14
    {"DEC direct", 2},               // 15
    {"DEC @R0", 1},                  // 16
    {"DEC @R1", 1},                  // 17
    {"DEC R0", 1},                   // 18
    {"DEC R1", 1},                   // 19
    {"DEC R2", 1},                   // 1A
    {"DEC R3", 1},                   // 1B
    {"DEC R4", 1},                   // 1C
    {"DEC R5", 1},                   // 1D
    {"DEC R6", 1},                   // 1E
    {"DEC R7", 1},                   // 1F
    {"JB bit,addr", 3},              // 20
    {"AJMP addr", 2},                // 21
    {"RET", 1},                      // 22
    {"RL A", 1},                     // 23
    {"ADD A,#data", 2},              // 24
    {"ADD A,direct", 2},             // 25
    {"ADD A,@R0", 1},                // 26
    {"ADD A,@R1", 1},                // 27
    {"ADD A,R0", 1},                 // 28
    {"ADD A,R1", 1},                 // 29
    {"ADD A,R2", 1},                 // 2A
    {"ADD A,R3", 1},                 // 2B
    {"ADD A,R4", 1},                 // 2C
    {"ADD A,R5", 1},                 // 2D
    {"ADD A,R6", 1},                 // 2E
    {"ADD A,R7", 1},                 // 2F
    {"JNB bit,addr", 3},             // 30
    {"ACALL addr", 2},               // 31
    {"RETI", 1},                     // 32
    {"RLC A", 1},                    // 33
    {"ADDC A,#data", 2},             // 34
    {"ADDC A,direct", 2},            // 35
    {"ADDC A,@R0", 1},               // 36
    {"ADDC A,@R1", 1},               // 37
    {"ADDC A,R0", 1},                // 38
    {"ADDC A,R1", 1},                // 39
    {"ADDC A,R2", 1},                // 3A
    {"ADDC A,R3", 1},                // 3B
    {"ADDC A,R4", 1},                // 3C
    {"ADDC A,R5", 1},                // 3D
    {"ADDC A,R6", 1},                // 3E
    {"ADDC A,R7", 1},                // 3F
    {"JC addr", 2},                  // 40
    {"AJMP addr", 2},                // 41
    {"ORL direct,A", 2},             // 42
    {"ORL direct,#data", 3},         // 43
    {"ORL A,#data", 2},              // 44
    {"ORL A,direct", 2},             // 45
    {"ORL A,@R0", 1},                // 46
    {"ORL A,@R1", 1},                // 47
    {"ORL A,R0", 1},                 // 48
    {"ORL A,R1", 1},                 // 49
    {"ORL A,R2", 1},                 // 4A
    {"ORL A,R3", 1},                 // 4B
    {"ORL A,R4", 1},                 // 4C
    {"ORL A,R5", 1},                 // 4D
    {"ORL A,R6", 1},                 // 4E
    {"ORL A,R7", 1},                 // 4F
    {"JNC addr", 2},                 // 50
    {"ACALL addr", 2},               // 51
    {"ANL direct,A", 2},             // 52
    {"ANL direct,#data", 3},         // 53
    {"ANL A,#data", 2},              // 54
    {"ANL A,direct", 2},             // 55
    {"ANL A,@R0", 1},                // 56
    {"ANL A,@R1", 1},                // 57
    {"ANL A,R0", 1},                 // 58
    {"ANL A,R1", 1},                 // 59
    {"ANL A,R2", 1},                 // 5A
    {"ANL A,R3", 1},                 // 5B
    {"ANL A,R4", 1},                 // 5C
    {"ANL A,R5", 1},                 // 5D
    {"ANL A,R6", 1},                 // 5E
    {"ANL A,R7", 1},                 // 5F
    {"JZ addr", 2},                  // 60
    {"AJMP addr", 2},                // 61
    {"XRL direct,A", 2},             // 62
    {"XRL direct,#data", 3},         // 63
    {"XRL A,#data", 2},              // 64
    {"XRL A,direct", 2},             // 65
    {"XRL A,@R0", 1},                // 66
    {"XRL A,@R1", 1},                // 67
    {"XRL A,R0", 1},                 // 68
    {"XRL A,R1", 1},                 // 69
    {"XRL A,R2", 1},                 // 6A
    {"XRL A,R3", 1},                 // 6B
    {"XRL A,R4", 1},                 // 6C
    {"XRL A,R5", 1},                 // 6D
    {"XRL A,R6", 1},                 // 6E
    {"XRL A,R7", 1},                 // 6F
    {"JNZ addr", 2},                 // 70
    {"ACALL addr", 2},               // 71
    {"ORL C,bit", 2},                // 72
    {"JMP @A+DPTR", 1},              // 73
    {"MOV A,#data", 2},              // 74
    {"MOV direct,#data", 3},         // 75
    {"MOV @R0,#data", 2},            // 76
    {"MOV @R1,#data", 2},            // 77
    {"MOV R0,#data", 2},             // 78
    {"MOV R1,#data", 2},             // 79
    {"MOV R2,#data", 2},             // 7A
    {"MOV R3,#data", 2},             // 7B
    {"MOV R4,#data", 2},             // 7C
    {"MOV R5,#data", 2},             // 7D
    {"MOV R6,#data", 2},             // 7E
    {"MOV R7,#data", 2},             // 7F
    {"SJMP addr", 2},                // 80
    {"AJMP addr", 2},                // 81
    {"ANL C,bit", 2},                // 82
    {"MOVC A,@A+PC", 1},             // 83
    {"DIV AB", 1},                   // 84
    {"MOV direct,direct", 3},        // 85
    {"MOV direct,@R0", 2},           // 86
    {"MOV direct,@R1", 2},           // 87
    {"MOV direct,R0", 2},            // 88
    {"MOV direct,R1", 2},            // 89
    {"MOV direct,R2", 2},            // 8A
    {"MOV direct,R3", 2},            // 8B
    {"MOV direct,R4", 2},            // 8C
    {"MOV direct,R5", 2},            // 8D
    {"MOV direct,R6", 2},            // 8E
    {"MOV direct,R7", 2},            // 8F
    {"MOV DPTR,#data", 3},           // 90
    {"ACALL addr", 2},               // 91
    {"MOV bit,C", 2},                // 92
    {"MOVC A,@A+DPTR", 1},           // 93
    {"SUBB A,#data", 2},             // 94
    {"SUBB A,direct", 2},            // 95
    {"SUBB A,@R0", 1},               // 96
    {"SUBB A,@R1", 1},               // 97
    {"SUBB A,R0", 1},                // 98
    {"SUBB A,R1", 1},                // 99
    {"SUBB A,R2", 1},                // 9A
    {"SUBB A,R3", 1},                // 9B
    {"SUBB A,R4", 1},                // 9C
    {"SUBB A,R5", 1},                // 9D
    {"SUBB A,R6", 1},                // 9E
    {"SUBB A,R7", 1},                // 9F
    {"ORL C,/bit", 2},               // A0
    {"AJMP addr", 2},                // A1
    {"MOV C,bit", 2},                // A2
    {"INC DPTR", 1},                 // A3
    {"MUL AB", 1},                   // A4
    {"byte 0A5h", 1},                // A5
    {"MOV @R0,direct", 2},           // A6
    {"MOV @R1,direct", 2},           // A7
    {"MOV R0,direct", 2},            // A8
    {"MOV R1,direct", 2},            // A9
    {"MOV R2,direct", 2},            // AA
    {"MOV R3,direct", 2},            // AB
    {"MOV R4,direct", 2},            // AC
    {"MOV R5,direct", 2},            // AD
    {"MOV R6,direct", 2},            // AE
    {"MOV R7,direct", 2},            // AF
    {"ANL C,/bit", 2},               // B0
    {"ACALL addr", 2},               // B1
    {"CPL bit", 2},                  // B2
    {"CPL C", 1},                    // B3
    {"CJNE A,#data,addr", 3},        // B4
    {"CJNE A,direct,addr", 3},       // B5
    {"CJNE @R0,#data,addr", 3},      // B6
    {"CJNE @R1,#data,addr", 3},      // B7
    {"CJNE R0,#data,addr", 3},       // B8
    {"CJNE R1,#data,addr", 3},       // B9
    {"CJNE R2,#data,addr", 3},       // BA
    {"CJNE R3,#data,addr", 3},       // BB
    {"CJNE R4,#data,addr", 3},       // BC
    {"CJNE R5,#data,addr", 3},       // BD
    {"CJNE R6,#data,addr", 3},       // BE
    {"CJNE R7,#data,addr", 3},       // BF
    {"PUSH direct", 2},              // C0
    {"AJMP addr", 2},                // C1
    {"CLR bit", 2},                  // C2
    {"CLR C", 1},                    // C3
    {"SWAP A", 1},                   // C4
    {"XCH A,direct", 2},             // C5
    {"XCH A,@R0", 1},                // C6
    {"XCH A,@R1", 1},                // C7
    {"XCH A,R0", 1},                 // C8
    {"XCH A,R1", 1},                 // C9
    {"XCH A,R2", 1},                 // CA
    {"XCH A,R3", 1},                 // CB
    {"XCH A,R4", 1},                 // CC
    {"XCH A,R5", 1},                 // CD
    {"XCH A,R6", 1},                 // CE
    {"XCH A,R7", 1},                 // CF
    {"POP direct", 2},               // D0
    {"ACALL addr", 2},               // D1
    {"SETB bit", 2},                 // D2
    {"SETB C", 1},                   // D3
    {"DA A", 1},                     // D4
    {"DJNZ direct,addr", 3},         // D5
    {"XCHD A,@R0", 1},               // D6
    {"XCHD A,@R1", 1},               // D7
    {"DJNZ R0,addr", 2},             // D8
    {"DJNZ R1,addr", 2},             // D9
    {"DJNZ R2,addr", 2},             // DA
    {"DJNZ R3,addr", 2},             // DB
    {"DJNZ R4,addr", 2},             // DC
    {"DJNZ R5,addr", 2},             // DD
    {"DJNZ R6,addr", 2},             // DE
    {"DJNZ R7,addr", 2},             // DF
    {"MOVX A,@DPTR", 1},             // E0
    {"AJMP addr", 2},                // E1
    {"MOVX A,@R0", 1},               // E2
    {"MOVX A,@R1", 1},               // E3
    {"CLR A", 1},                    // E4
    {"MOV A,direct", 2},             // E5
    {"MOV A,@R0", 1},                // E6
    {"MOV A,@R1", 1},                // E7
    {"MOV A,R0", 1},                 // E8
    {"MOV A,R1", 1},                 // E9
    {"MOV A,R2", 1},                 // EA
    {"MOV A,R3", 1},                 // EB
    {"MOV A,R4", 1},                 // EC
    {"MOV A,R5", 1},                 // ED
    {"MOV A,R6", 1},                 // EE
    {"MOV A,R7", 1},                 // EF
    {"MOVX @DPTR,A", 1},             // F0
    {"ACALL addr", 2},               // F1
    {"MOVX @R0,A", 1},               // F2
    {"MOVX @R1,A", 1},               // F3
    {"CPL A", 1},                    // F4
    {"MOV direct,A", 2},             // F5
    {"MOV @R0,A", 1},                // F6
    {"MOV @R1,A", 1},                // F7
    {"MOV R0,A", 1},                 // F8
    {"MOV R1,A", 1},                 // F9
    {"MOV R2,A", 1},                 // FA
    {"MOV R3,A", 1},                 // FB
    {"MOV R4,A", 1},                 // FC
    {"MOV R5,A", 1},                 // FD
    {"MOV R6,A", 1},                 // FE
    {"MOV R7,A (or byte 0FFh)", 1},  // FF
}};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_OPCODE_TABLE_H_
