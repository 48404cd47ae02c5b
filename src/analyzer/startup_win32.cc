// cmd hands a program its wildcards unexpanded and leaves expanding them to the program's
// start-up code, which mingw-w64's does when this is set: `opfreq *.bin` then names the file
// it matches. Quoted names are left alone.
extern "C" {
// NOLINTNEXTLINE: the name and type are the C runtime's.
int _dowildcard = -1;
}
