/* The least work any opcode counter must do: read the input file whole and count the byte
   values of its first 65536 bytes. opfreq's benchmark compares itself against this. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  int fd = open(argv[1], O_RDONLY);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) return 1;
  size_t size = (size_t)info.st_size;
  unsigned char* bytes = malloc(size ? size : 1);
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, bytes + got, size - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  unsigned count[256] = {0};
  size_t limit = got < 65536 ? got : 65536;
  for (size_t i = 0; i < limit; ++i) ++count[bytes[i]];
  unsigned most = 0;
  for (int v = 1; v < 256; ++v) if (count[v] > count[most]) most = (unsigned)v;
  printf("%02X %u\n", most, count[most]);
  free(bytes);
  return 0;
}
