#include "analyzer/csv_view.h"

#include "analyzer/opcode_table.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {

std::string csvHeader(CsvTable table) {
  return table == CsvTable::Opcodes ? "file,opcode,mnemonic,length,count,bytes\n"
                                    : "file,address,lcall,acall,count,name\n";
}

void writeCsvRows(CsvTable table, const Analysis& analysis, OutputStream& out) {
  std::string file;
  appendCsvField(file, analysis.name);
  file += ',';
  ViewText text(out);
  if (table == CsvTable::Opcodes) {
    for (size_t op = 0; op < 256; ++op) {
      const int32_t count = analysis.run.opcodeCount[op];
      const int32_t length = OpcodeTable[op].cmdlen;
      text.raw(file).hex(static_cast<uint32_t>(op), 2).put(",");
      text.escaped(OpcodeTable[op].mnemonic, appendCsvField).put(",").number(length);
      text.put(",").number(count).put(",").number(int64_t{count} * length).put("\n");
    }
    return;
  }
  for (const CallTarget& target : analysis.run.calls.byCount()) {
    text.raw(file).hex(target.address, 4).put(",").number(target.lcall);
    text.put(",").number(target.acall).put(",").number(target.count()).put(",");
    text.escaped(analysis.symbols.nameOf(target.address), appendCsvField).put("\n");
  }
}

}  // namespace opfreq
