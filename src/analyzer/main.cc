// opfreq: opcode and call-target frequencies of an 8051 program-memory image.
#include "analyzer/entry.h"

int main(int argc, char** argv) {
  return opfreq::runMain(std::vector<std::string>(argv + 1, argv + argc));
}
