#!/usr/bin/env bash
# The Windows build under Wine: byte-exact output through pipes, and the console (rendering,
# key records, Ctrl+C, the control handler) in tmux panes, driven by console_driver.exe.
#
# Usage: tests/wine/wine_test.sh [windows build folder]   (default: build-windows)
# Needs g++-mingw-w64-x86-64-posix, wine, wine64, tmux and python3.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
samples=$root/tests/data/samples
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }

cd "$root" || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null || exit 1
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
wineserver -p 2>/dev/null
opfreq=$build/opfreq.exe
driver=$build/console_driver.exe

echo "== through pipes"
for bin in "$samples"/*.bin; do
  name=$(basename "$bin")
  check "$name is byte-identical" \
    "(cd '$samples' && wine '$opfreq' '$name' </dev/null 2>/dev/null) | cmp -s - '${bin%.bin}.expected'"
done
for locale in C ru_RU.UTF-8 en_US.UTF-8; do
  check "usage text is the exact code page 866 bytes with LANG=$locale" \
    "LANG=$locale LC_ALL=$locale wine '$opfreq' </dev/null 2>/dev/null | cmp -s - '$samples/usage.expected'"
done
check "a missing file gives its message and status 1" \
  "[ \"\$(cd '$samples' && wine '$opfreq' nosuch.bin 2>&1 >/dev/null | tr -d '\r')\" = 'opfreq: nosuch.bin: No such file or directory' ] &&
   ! (cd '$samples' && wine '$opfreq' nosuch.bin >/dev/null 2>&1)"

# Runs the driver in a fresh tmux pane of the given size; the result file holds what it saw.
# Extra keys for the pane (like C-c) are sent once the prompt shows.
in_console() {
  local columns=$1 rows=$2 result=$3 script=$4 paneKeys=$5
  shift 5
  rm -f "$result" "$result.done"
  tmux kill-session -t opfreq-wine 2>/dev/null
  tmux new-session -d -s opfreq-wine -x "$columns" -y "$rows" \
    "wine '$driver' '$result' '$script' -- $*; touch '$result.done'; sleep 30"
  if [ -n "$paneKeys" ]; then
    for _ in $(seq 200); do
      tmux capture-pane -t opfreq-wine -p | grep -q -- '--- press any key' && break
      sleep 0.05
    done
    tmux send-keys -t opfreq-wine "$paneKeys"
  fi
  for _ in $(seq 600); do
    [ -e "$result.done" ] && break
    sleep 0.05
  done
  tmux kill-session -t opfreq-wine 2>/dev/null
  [ -e "$result" ]
}

# What a teletype console of columns x rows shows after the bytes of a file: CR, LF, BS, TAB
# to multiples of 8, wrapping, and scrolling when a row below the bottom is drawn on or the
# output ends below it.
model_screen() {
  python3 - "$@" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
width, height = int(sys.argv[2]), int(sys.argv[3])
grid = [bytearray(b' ' * width) for _ in range(height)]
x = y = 0
def scroll():
    global y, grid
    while y > height - 1:
        grid = grid[1:] + [bytearray(b' ' * width)]
        y -= 1
def put(b):
    global x, y
    scroll()
    grid[y][x] = b
    x += 1
    if x == width:
        x, y = 0, y + 1
for b in data:
    if b == 7: continue
    elif b == 8: x = max(0, x - 1)
    elif b == 9:
        put(32)
        while x % 8: put(32)
    elif b == 10: x, y = 0, y + 1
    elif b == 13: x = 0
    else: put(b)
scroll()
out = sys.stdout.buffer
for row in grid: out.write(bytes(row).rstrip(b' ') + b'\n')
EOF
}

screen_of() { sed -n '/^screen$/,$p' "$1" | tail -n +2; }

echo "== in a console"
work=$(mktemp -d)
trap 'rm -rf "$work"; tmux kill-session -t opfreq-wine 2>/dev/null' EXIT

in_console 80 30 "$work/report" exit "" "'$opfreq'" "'tests/data/samples/demo.bin'"
{ echo tests/data/samples/demo.bin; tail -n +2 "$samples/demo.expected" | tr -d '\r'; } >"$work/report.lines"
check "the report renders one line a row" \
  "screen_of '$work/report' | head -n 26 | cmp -s - '$work/report.lines' && grep -q '^exit 0$' '$work/report'"
check "the cursor ends on the row after the report" "grep -q '^size 80 30 cursor 0 26' '$work/report'"

for size in "40 10" "48 12" "52 8"; do
  set -- $size
  in_console "$1" "$2" "$work/wrap" exit "" "'$opfreq'" "'tests/data/samples/demo.bin'"
  model_screen "$samples/demo.expected" "$1" "$2" >"$work/wrap.model"
  check "the report wraps and scrolls as a teletype in $1 x $2" \
    "screen_of '$work/wrap' | cmp -s - '$work/wrap.model'"
done
in_console 48 12 "$work/exact" exit "" "'$opfreq'" "'tests/data/samples/demo.bin'"
check "a row exactly as wide as the view leaves an empty row after it" \
  "[ \"\$(screen_of '$work/exact' | grep -A1 '^E4  CLR A' | tail -n 1)\" = '' ] &&
   screen_of '$work/exact' | grep -q -x 'first 3 opcodes: 63.75%'"

in_console 40 10 "$work/usage" "wait-prompt,key:a,exit" "" "'$opfreq'"
model_screen "$samples/usage.expected" 40 10 >"$work/usage.model"
check "the usage text wraps and scrolls as a teletype" \
  "screen_of '$work/usage' | cmp -s - '$work/usage.model' && grep -q '^exit 0$' '$work/usage'"

in_console 80 30 "$work/modifiers" "wait-prompt,key:shift,key:ctrl,key:alt,alive,key:a,exit" "" "'$opfreq'"
check "Shift, Ctrl and Alt alone do not end the wait" \
  "grep -q '^alive yes$' '$work/modifiers' && grep -q '^exit 0$' '$work/modifiers'"
for key in key:a key:enter key:f1 key:up key:esc altpad:65; do
  in_console 80 30 "$work/key" "wait-prompt,alive,$key,exit" "" "'$opfreq'"
  check "$key ends the wait with status 0" \
    "grep -q '^alive yes$' '$work/key' && grep -q '^exit 0$' '$work/key'"
done
in_console 80 30 "$work/zero" "wait-prompt,altpad:0,alive,key:a,exit" "" "'$opfreq'"
check "an Alt+keypad composition of 0 delivers nothing" \
  "grep -q '^alive yes$' '$work/zero' && grep -q '^exit 0$' '$work/zero'"

# Only Ctrl+C reaches the console here; the handler check below shows that opfreq passes it
# on. The default action's exit code is 0xC000013A on Windows and 0 under Wine.
in_console 80 30 "$work/ctrlc" "wait-prompt,exit" C-c "'$opfreq'"
check "Ctrl+C ends the process by the system's default action" \
  "grep -q -E '^exit (0|3221225786)$' '$work/ctrlc'"

rm -f "$work/handler"
tmux kill-session -t opfreq-wine 2>/dev/null
tmux new-session -d -s opfreq-wine -x 80 -y 30 "wine '$driver' '$work/handler' --handler-check; sleep 30"
for _ in $(seq 400); do [ -e "$work/handler" ] && break; sleep 0.05; done
check "close, log-off and shut-down are handled; Ctrl+C and Ctrl+Break are passed on" \
  "[ \"\$(head -n 5 '$work/handler' | tr '\n' ',')\" = 'close handled,logoff handled,shutdown handled,ctrl-c passed on,ctrl-break passed on,' ]"
check "the close event ends a wait as Alt+F4 (0xFF first)" "grep -q '^key 255$' '$work/handler'"

echo
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
