#!/usr/bin/env bash
# The command line as a shell user meets it: messages and statuses, pipes and FIFOs, odd names,
# output that cannot be written, and the usage text with standard input redirected.
# Usage: cli_test.sh OPFREQ SAMPLES_DIR VERSION
set -u
opfreq=$(realpath "$1")
samples=$(realpath "$2")
hex=$(realpath "$2/../hex")
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1
failures=0

# opfreq as a shell starts it: SIGPIPE at its default action, whatever this script inherited.
opfreq() { env --default-signal=PIPE "$opfreq" "$@"; }

# expect NAME STATUS STDERR STDOUT-FILE COMMAND...: runs COMMAND and compares its exit status,
# its standard error and its standard output (the bytes of STDOUT-FILE).
# With STDOUT-FILE "-", standard output is left as the caller redirected it.
expect() {
  local name=$1 status=$2 err=$3 out=$4
  shift 4
  if [ "$out" = - ]; then "$@" 2>"$work/err"; else "$@" >"$work/out" 2>"$work/err"; fi
  local got=$?
  if [ "$got" != "$status" ] || [ "$(cat "$work/err")" != "$err" ] ||
    { [ "$out" != - ] && ! cmp -s "$work/out" "$out"; }; then
    echo "FAILED: $name: status $got, stderr: $(cat "$work/err")" >&2
    failures=$((failures + 1))
  fi
}

# The report of a sample as it reads when the input is named $2.
renamed() { { printf '%s\r\n' "$2"; tail -n +2 "$samples/$1.expected"; } >"$work/$3"; }

cp "$samples/demo.bin" demo.bin
renamed demo my\ code.bin my.exp
renamed demo /dev/stdin stdin.exp
renamed eprom64k_printf_report_ff /dev/stdin stdin64k.exp
renamed banked256_portlatch /dev/stdin stdin256k.exp
renamed demo dump.fifo fifo.exp
usage=$samples/usage.expected

expect "no argument: usage, the wait ends at the end of input" 0 "" "$usage" opfreq </dev/null
expect "an empty argument: usage" 0 "" "$usage" opfreq "" </dev/null
expect "usage, a key from a pipe" 0 "" "$usage" opfreq < <(printf q)
expect "usage, a key from a file" 0 "" "$usage" opfreq <demo.bin

touch empty.bin
head -c 262145 /dev/zero >huge.bin
mkdir folder
expect "a missing file" 1 "opfreq: nosuch.bin: No such file or directory" /dev/null opfreq nosuch.bin
[ -e nosuch.bin ] && echo "FAILED: a missing file was created" >&2 && failures=$((failures + 1))
expect "an empty file" 1 "opfreq: empty.bin: file is empty" /dev/null opfreq empty.bin
expect "262145 bytes" 1 "opfreq: huge.bin: file is larger than 262144 bytes" /dev/null opfreq huge.bin
expect "a folder" 1 "opfreq: folder: Is a directory" /dev/null opfreq folder
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  cp demo.bin secret.bin && chmod 000 secret.bin
  expect "an unreadable file" 1 "opfreq: secret.bin: Permission denied" /dev/null \
    setpriv --reuid=65534 --regid=65534 --clear-groups env --default-signal=PIPE "$opfreq" secret.bin
fi

cp demo.bin "my code.bin"
expect "arguments join into one name" 0 "" my.exp opfreq my code.bin
expect "a pipe" 0 "" stdin.exp opfreq /dev/stdin < <(cat demo.bin)
expect "a pipe of many chunks" 0 "" stdin64k.exp opfreq /dev/stdin < <(cat "$samples/eprom64k_printf_report_ff.bin")
expect "a pipe of 262144 bytes" 0 "" stdin256k.exp opfreq /dev/stdin < <(cat "$samples/banked256_portlatch.bin")
expect "a pipe of 262145 bytes" 1 "opfreq: /dev/stdin: file is larger than 262144 bytes" /dev/null \
  opfreq /dev/stdin < <(cat huge.bin)
mkfifo dump.fifo
cat demo.bin >dump.fifo &
expect "a FIFO" 0 "" fifo.exp opfreq dump.fifo
for name in -demo.bin $'\xff\xfe name.bin' --; do
  cp demo.bin ./"$name" && renamed demo "$name" odd.exp
  expect "an odd name" 0 "" odd.exp opfreq "$name"
done

full="opfreq: error writing standard output: No space left on device"
expect "a full disk" 1 "$full" - opfreq demo.bin >/dev/full
expect "usage on a full disk" 1 "$full" - opfreq </dev/null >/dev/full
expect "a closed standard output" 1 "opfreq: error writing standard output: Bad file descriptor" \
  - opfreq demo.bin >&-
# A reader that has gone away: a FIFO held open for reading only until opfreq has it.
mkfifo gone.fifo
exec 3<>gone.fifo 4>gone.fifo 3<&-
expect "a reader that went away: status 1, no message" 1 "" - opfreq demo.bin >&4
exec 4>&-

joined="opfreq: demo.bin nosuch.bin: No such file or directory (the arguments are joined into one file name; run opfreq once per image)"
expect "two names: said why" 1 "$joined" /dev/null opfreq demo.bin nosuch.bin
head -n 18 "$usage" | iconv -f CP866 -t UTF-8 >help.exp
printf 'opfreq %s\r\n' "$version" >version.exp
renamed demo - dash.exp
for option in --help -h; do expect "$option" 0 "" help.exp opfreq $option </dev/null; done
expect "--version" 0 "" version.exp opfreq --version
expect "- reads standard input" 0 "" dash.exp opfreq - <demo.bin
expect "- reads a pipe" 0 "" dash.exp opfreq - < <(cat demo.bin)
for name in --help -h --version -; do
  cp demo.bin ./"$name" && renamed demo "$name" odd.exp
  expect "a file named $name is analysed" 0 "" odd.exp opfreq "$name"
done

objcopy -I binary -O ihex demo.bin demo.ihx && objcopy -I binary -O srec demo.bin demo.srec
note='text, not a binary image; convert it first (see "HEX files" in opfreq(1))'
expect "Intel HEX" 0 "opfreq: demo.ihx: this looks like Intel HEX $note" "$hex/demo.ihx.expected" \
  opfreq demo.ihx
expect "S-records" 0 "opfreq: demo.srec: this looks like Motorola S-record $note" \
  "$hex/demo.srec.expected" opfreq demo.srec
{ printf ':'; cat demo.bin; } >colon.bin
expect "a binary image that starts with a colon" 0 "" - opfreq colon.bin >/dev/null

[ "$failures" -eq 0 ] && echo "all command-line cases passed"
[ "$failures" -eq 0 ]
