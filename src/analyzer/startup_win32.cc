// cmd hands a program its wildcards unexpanded and leaves expanding them to the program's
// start-up code, which mingw-w64's does when this is set: `opfreq *.bin` then names the file
// it matches. Windows' C runtime leaves a name in quotes as it is.
extern "C" {
int _dowildcard = -1;
}
