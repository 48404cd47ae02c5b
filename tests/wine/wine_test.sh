#!/usr/bin/env bash
# The Windows build under Wine: byte-exact output through pipes, options, wildcards, a reader
# that went away, and in a tmux pane the report drawn on the console, the usage text in Cyrillic
# on a console of code page 437, a key press ending the wait, and the console control handler.
#
# Usage: tests/wine/wine_test.sh [build folder]   (default: build-wine)
# Needs g++-mingw-w64-x86-64-posix, wine, wine64 and tmux.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-wine}")
samples=$root/tests/data/samples
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

passed=0
failed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)) && echo "FAILED: $1"; fi
}

cmake -S "$root/tests/wine" -B "$build" --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
  >/dev/null && cmake --build "$build" -j2 >/dev/null || exit 1
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
opfreq=$build/opfreq/opfreq.exe
driver=$build/console_driver.exe
work=$(mktemp -d)
trap 'rm -rf "$work"; tmux kill-session -t opfreq-wine 2>/dev/null; wineserver -k 2>/dev/null' EXIT

for bin in "$samples"/*.bin; do
  check "$(basename "$bin") is byte-identical" \
    "(cd '$samples' && wine '$opfreq' '$(basename "$bin")' </dev/null 2>/dev/null) | cmp -s - '${bin%.bin}.expected'"
done
for locale in C ru_RU.UTF-8; do
  check "the usage text is the code page 866 bytes with LANG=$locale" \
    "LANG=$locale LC_ALL=$locale wine '$opfreq' </dev/null 2>/dev/null | cmp -s - '$samples/usage.expected'"
done

check "--help writes the usage text at once, in code page 866, then the options" \
  "wine '$opfreq' --help 2>/dev/null >'$work/help' && cmp -s <(sed -n 1,18p '$work/help') <(head -n 18 '$samples/usage.expected') &&
   [ -z \"\$(sed -n 19p '$work/help' | tr -d '\r')\" ] && grep -qx \$'Options:\\r' '$work/help'"
check "/? is --help" "cmp -s <(wine '$opfreq' '/?' 2>/dev/null) <(wine '$opfreq' --help 2>/dev/null)"

# Wildcards as cmd passes them, unexpanded: the start-up expands them.
mkdir -p "$work/one" "$work/two" && cp "$samples/demo.bin" "$work/one/" &&
  cp "$samples/demo.bin" "$work/two/a.bin" && cp "$samples/demo.bin" "$work/two/b.bin"
check "*.bin matching one file analyses it" \
  "(cd '$work/one' && wine '$opfreq' '*.bin' 2>/dev/null) | cmp -s - '$samples/demo.expected'"
check "*.bin matching two files says why they are not analysed" \
  "(cd '$work/two' && ! wine '$opfreq' '*.bin' 2>&1 >/dev/null) | grep -q 'joined into one file name'"
check "a pattern that matches nothing is a missing file" \
  "[ \"\$(cd '$work/one' && wine '$opfreq' '*.hex' 2>&1 | tr -d '\r')\" = 'opfreq: *.hex: No such file or directory' ]"
# Names that the ANSI code page cannot hold reach their own file; the report's first line keeps
# the code page's form, JSON has the name in UTF-8. -o writes the report's bytes.
mkdir -p "$work/names" && cp "$samples/demo.bin" "$work/names/x日.bin" && cp "$samples/hexmon.bin" "$work/names/xA.bin"
check "x日.bin beside xA.bin is the file analysed" \
  "cmp -s <(cd '$work/names' && LANG=C.UTF-8 wine '$opfreq' 'x日.bin' 2>/dev/null) <({ printf 'x?.bin\r\n'; tail -n +2 '$samples/demo.expected'; })"
check "JSON names x日.bin in UTF-8" \
  "(cd '$work/names' && LANG=C.UTF-8 wine '$opfreq' --json 'x日.bin' 2>/dev/null) | grep -q '^{\"file\": \"x日.bin\", \"format\": \"binary\", \"image_size\": 80,'"
check "-o writes the report's exact bytes" \
  "(cd '$work/names' && LANG=C.UTF-8 wine '$opfreq' -o out.txt 'x日.bin' 2>/dev/null) && cmp -s '$work/names/out.txt' <({ printf 'x?.bin\r\n'; tail -n +2 '$samples/demo.expected'; }) && [ \"\$(ls '$work/names' | wc -l)\" = 3 ]"

# -o refused as on Linux, in the same words, before the input is read.
check "-o into a folder that is not there" \
  "[ \"\$(cd '$work/names' && wine '$opfreq' -o 'nodir\\x.txt' xA.bin 2>&1 | tr -d '\r')\" = 'opfreq: nodir\\x.txt: No such file or directory' ]"
check "-o a folder" \
  "[ \"\$(cd '$work/names' && wine '$opfreq' -o . xA.bin 2>&1 | tr -d '\r')\" = 'opfreq: .: Is a directory' ]"

# Killed while -o waits for its input: the temporary file goes with the process.
mkdir -p "$work/killed" && mkfifo "$work/killed/in.fifo"
exec 5<>"$work/killed/in.fifo"
(cd "$work/killed" && exec wine "$opfreq" -o out.json --json - <in.fifo 2>/dev/null) &
seen=0
for _ in $(seq 100); do ls "$work/killed" | grep -q '\.tmp$' && seen=1 && break; sleep 0.1; done
pkill -KILL -f 'opfreq.exe -o out.json'
wait $! 2>/dev/null
for _ in $(seq 50); do [ "$(ls "$work/killed")" = in.fifo ] && break; sleep 0.1; done
exec 5>&-
check "killed during -o: nothing left behind" "[ $seen = 1 ] && [ \"\$(ls '$work/killed')\" = in.fifo ]"

# A reader that has gone away: a FIFO held open for reading only until opfreq has it.
mkfifo "$work/gone.fifo"
exec 3<>"$work/gone.fifo" 4>"$work/gone.fifo" 3<&-
wine "$opfreq" "$samples/demo.bin" >&4 2>"$work/gone.err"
gone=$?
exec 4>&-
check "a reader that went away: status 1, no message" "[ $gone = 1 ] && [ ! -s '$work/gone.err' ]"

# Runs the driver with its arguments in a fresh 80 x 30 tmux pane; $1 is its result file.
in_console() {
  rm -f "$1" "$1.done"
  tmux kill-session -t opfreq-wine 2>/dev/null
  tmux new-session -d -s opfreq-wine -x 80 -y 30 "wine '$driver' $*; touch '$1.done'; sleep 30"
  for _ in $(seq 600); do [ -e "$1.done" ] && break; sleep 0.05; done
  [ -e "$1" ]
}

in_console "$work/report" -- "'$opfreq'" tests/data/samples/demo.bin
{ echo tests/data/samples/demo.bin; tail -n +2 "$samples/demo.expected" | tr -d '\r'; } >"$work/lines"
check "the report is drawn on the console a line a row" \
  "sed -n '/^screen$/,\$p' '$work/report' | sed -n 2,27p | cmp -s - '$work/lines' &&
   grep -q '^exit 0$' '$work/report'"
in_console "$work/usage" -- "'$opfreq'"
check "the usage path waits on the console until a key is pressed" \
  "grep -q '^alive yes$' '$work/usage' && grep -q '^exit 0$' '$work/usage'"
check "a console of code page 437 shows the Russian lines in Cyrillic" \
  "grep -qx 'codepage 437' '$work/usage' && diff <(sed -n '/^screen$/,\$p' '$work/usage' | sed -n 2,19p) <(head -n 18 '$samples/usage.expected' | iconv -f CP866 | tr -d '\r')"
in_console "$work/handler" --handler-check
check "closing, logging off and shutting down end the wait before the handler returns" \
  "[ \"\$(head -n 3 '$work/handler' | sed 's/^[0-9]* //' | sort -u)\" = 'handled, key 255 107, in time' ]"
check "Ctrl+C and Ctrl+Break are left to the system" \
  "[ \"\$(tail -n 2 '$work/handler' | sed 's/^[0-9]* //' | sort -u)\" = 'passed on, key none, in time' ]"

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
