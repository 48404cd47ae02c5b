/* Writes n pseudo-random bytes (xorshift64, fixed seed) to standard output, so that every
   machine benchmarks the same "random image". */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  long n = argc > 1 ? atol(argv[1]) : 262144;
  uint64_t x = 0x9E3779B97F4A7C15u;
  for (long i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    putchar((int)(x >> 56));
  }
  return 0;
}
