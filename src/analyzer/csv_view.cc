#include "analyzer/csv_view.h"

#include "analyzer/opcode_table.h"
#include "textout/text_escape.h"

namespace opfreq {

std::string csvHeader(CsvTable table) {
  return table == CsvTable::Opcodes ? "file,opcode,mnemonic,length,count,bytes\n"
                                    : "file,address,lcall,acall,count,name\n";
}

std::string csvRows(CsvTable table, const Analysis& analysis) {
  std::string file;
  appendCsvField(file, analysis.name);
  file += ',';
  std::string out;
  if (table == CsvTable::Opcodes) {
    for (size_t op = 0; op < 256; ++op) {
      const int32_t count = analysis.run.opcodeCount[op];
      out += file + hexDigits(op, 2) + ',';
      appendCsvField(out, OpcodeTable[op].mnemonic);
      out += ',' + std::to_string(OpcodeTable[op].cmdlen) + ',' + std::to_string(count) + ',' +
             std::to_string(int64_t{count} * OpcodeTable[op].cmdlen) + '\n';
    }
    return out;
  }
  for (const CallTarget& target : analysis.run.calls.byCount()) {
    out += file + hexDigits(target.address, 4) + ',' + std::to_string(target.lcall) + ',' +
           std::to_string(target.acall) + ',' + std::to_string(target.count()) + ',';
    appendCsvField(out, analysis.symbols.nameOf(target.address));
    out += '\n';
  }
  return out;
}

}  // namespace opfreq
