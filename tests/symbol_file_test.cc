#include "filein/symbol_file.h"

#include <gtest/gtest.h>

#include <map>

namespace opfreq {
namespace {

SymbolTable read(std::string_view text) {
  SymbolReader reader;
  reader.feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  return reader.finish();
}

// Every address that has a name: its name, and whether code starts there.
std::map<uint16_t, std::pair<std::string, bool>> namesOf(const SymbolTable& table) {
  std::map<uint16_t, std::pair<std::string, bool>> names;
  const std::vector<uint16_t> code = table.codeAddresses();
  for (uint32_t a = 0; a <= 0xFFFF; ++a) {
    const auto address = static_cast<uint16_t>(a);
    if (const std::string_view name = table.nameOf(address); !name.empty()) {
      names[address] = {std::string(name), std::binary_search(code.begin(), code.end(), address)};
    }
  }
  return names;
}

TEST(SymbolFile, DebugMapsNameStaticsAndMarkWhereFunctionsEnd) {
  const SymbolTable table = read(
      "      Value  Global           Global Defined In Module\n"
      "CSEG  00000064  000000B1 =  177. bytes (REL,CON,CODE)\n"
      "C:   00000064  A$sw$141         sw\n"
      "C:   00000064  C$sw.c$3$0_0$2   sw\n"
      "C:   00000064  Fsw$s1$0$0       sw\n"
      "C:   00000067  XFsw$s1$0$0      sw\n"
      "C:   00000070  G$dispatch$0$0   sw\n"
      "C:   00000070  _dispatch        sw\n"
      "C:   000000D2  XG$dispatch$0$0  sw\n"
      "C:   000000D3  _main            sw\n"
      "CONST  00000115  00000004 =  4. bytes (REL,CON,CODE)\n"
      "C:   00000115  G$tab$0_0$0      sw\n"
      "C:   00000115  _tab             sw\n");
  EXPECT_EQ(namesOf(table),
            (std::map<uint16_t, std::pair<std::string, bool>>{{0x64, {"sw:s1", true}},
                                                              {0x70, {"_dispatch", true}},
                                                              {0xD3, {"_main", true}},
                                                              {0x115, {"_tab", false}}}));
  EXPECT_EQ(table.functionRanges(), (std::vector<FunctionRange>{{0x64, 0x67}, {0x70, 0xD2}}));
}

TEST(SymbolFile, KeilMapsGiveSegmentsAsCodeAndPublicNames) {
  const SymbolTable bl51 = read(
      "BL51 BANKED LINKER/LOCATER V6.22.4.0       05/05/2023  16:30:09  PAGE 1\n"
      "LINK MAP OF MODULE:  .\\Objects\\fw (MAIN)\n"
      "            TYPE    BASE      LENGTH    RELOCATION   SEGMENT NAME\n"
      "            CODE    0000H     0003H     ABSOLUTE     \n"
      "            CODE    0800H     00ACH     UNIT         ?PR?DHT11_RECEIVE?DH11\n"
      "            CODE    08ACH     009CH     UNIT         ?PR?MAIN?MAIN\n"
      "            CODE    0948H     008CH     UNIT         ?C_C51STARTUP\n"
      "            CODE    09D4H     0080H     UNIT         ?C?LIB_CODE\n"
      "            CODE    0C98H     000EH     UNIT         ?C_INITSEG\n"
      "            CODE    0CC8H     0002H     UNIT         ?CO?MAIN\n"
      "OVERLAY MAP OF MODULE:   .\\Objects\\fw (MAIN)\n"
      "?PR?MAIN?MAIN                         0028H    0004H\n"
      "SYMBOL TABLE OF MODULE:  .\\Objects\\fw (MAIN)\n"
      "  C:0000H         SYMBOL        _ICE_DUMMY_\n"
      "  C:08ACH         PUBLIC        main\n"
      "  C:09D4H         PUBLIC        ?C?CLDPTR\n"
      "  -------         PROC          DHT11_RECEIVE\n"
      "  D:0008H         SYMBOL        i\n"
      "  C:0800H         LINE#         18\n"
      "  C:0801H         LINE#         19\n"
      "  -------         ENDPROC       DHT11_RECEIVE\n");
  // LX51: the memory space in each value's top byte; a removed symbol dropped.
  const SymbolTable lx51 = read(
      "LX51 LINKER/LOCATER V4.66.97.0                  01/02/2024  10:00:00  PAGE 1\n"
      "MEMORY MAP OF MODULE:  .\\Objects\\fw (MAIN)\n"
      "START     STOP      LENGTH    ALIGN  RELOC    MEMORY CLASS   SEGMENT NAME\n"
      "000800H   0008ABH   0000ACH   BYTE   UNIT     CODE           ?PR?DHT11_RECEIVE?DH11\n"
      "0008ACH   000947H   00009CH   BYTE   UNIT     CODE           ?PR?MAIN?MAIN\n"
      "000948H   0009D3H   00008CH   BYTE   UNIT     CODE           ?C_C51STARTUP\n"
      "000CC8H   000CC9H   000002H   BYTE   UNIT     CONST          ?CO?MAIN\n"
      "PUBLIC SYMBOLS OF MODULE:  .\\Objects\\fw (MAIN)\n"
      "      VALUE       CLASS    TYPE      PUBLIC SYMBOL NAME\n"
      "      010008ACH   CODE     ---       main\n"
      "      010009D4H   CODE     ---       ?C?CLDPTR\n"
      "      02000028H   DATA     BYTE      counter\n"
      "SYMBOL TABLE OF MODULE:  .\\Objects\\fw (MAIN)\n"
      "      VALUE           REP       CLASS    TYPE      SYMBOL NAME\n"
      "      01000800H       PUBLIC    CODE     ---       DHT11_receive\n"
      "      *DEL*:00000000H PUBLIC    CODE     ---       unused\n");
  const std::map<uint16_t, std::pair<std::string, bool>> want = {{0x0800, {"DHT11_RECEIVE", true}},
                                                                 {0x08AC, {"main", true}},
                                                                 {0x0948, {"?C_C51STARTUP", true}},
                                                                 {0x09D4, {"?C?CLDPTR", false}}};
  EXPECT_EQ(namesOf(bl51), want);
  auto lx51Want = want;
  lx51Want[0x0800].first = "DHT11_receive";
  EXPECT_EQ(namesOf(lx51), lx51Want);
  EXPECT_EQ(lx51.codeNameOf(0x09D4), "?C?CLDPTR");  // a library routine keeps its public name
}

}  // namespace
}  // namespace opfreq
