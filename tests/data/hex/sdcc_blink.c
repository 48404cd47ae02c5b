/* A port blinker for an 8051 at 12 MHz: a table of patterns, a delay loop, a counter. */
#include <8051.h>

static __code const unsigned char patterns[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

static void delay(unsigned int ticks) {
  while (ticks--) {
    __asm nop __endasm;
  }
}

static unsigned char next(unsigned char step) { return (step + 1) & 7; }

void main(void) {
  unsigned char step = 0;
  for (;;) {
    P1 = patterns[step];
    delay(500);
    step = next(step);
    if (P3_2 == 0) P1 = 0xFF, delay(2000);
  }
}
