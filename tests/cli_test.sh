#!/usr/bin/env bash
# The command line as a shell user meets it: messages and statuses, pipes and FIFOs, odd names,
# output that cannot be written, and the usage text with standard input redirected.
# Usage: cli_test.sh OPFREQ SAMPLES_DIR VERSION
set -u
OPFREQ=("$(realpath "$1")")
SAMPLES=$(realpath "$2")
version=$3
source "$(dirname "$0")/expect.sh"

cp "$SAMPLES/demo.bin" demo.bin
renamed demo my\ code.bin my.exp
renamed demo /dev/stdin stdin.exp
renamed eprom64k_printf_report_ff /dev/stdin stdin64k.exp
renamed banked256_portlatch /dev/stdin stdin256k.exp
renamed demo dump.fifo fifo.exp
usage=$SAMPLES/usage.expected

expect "no argument: usage, the wait ends at the end of input" 0 "" "$usage" opfreq </dev/null
expect "usage, a key from a pipe" 0 "" "$usage" opfreq < <(printf q)
expect "usage, a key from a file" 0 "" "$usage" opfreq <demo.bin

# Empty names are refused without reading standard input, which belongs to the caller.
printf q >key.txt
thenRest() { opfreq "$@"; local status=$?; cat; return $status; }
expect "an empty argument" 1 'opfreq: "": empty file name' key.txt thenRest "" <key.txt
expect "two empty arguments" 1 'opfreq: " ": empty file name' key.txt thenRest "" "" <key.txt

touch empty.bin
head -c 262145 /dev/zero >huge.bin
mkdir folder
expect "a missing file" 1 "opfreq: nosuch.bin: No such file or directory" /dev/null opfreq nosuch.bin
[ -e nosuch.bin ] && echo "FAILED: a missing file was created" >&2 && failures=$((failures + 1))
expect "an empty file" 1 "opfreq: empty.bin: file is empty" /dev/null opfreq empty.bin
expect "262145 bytes" 1 "opfreq: huge.bin: file is larger than 262144 bytes" /dev/null opfreq huge.bin
expect "a folder" 1 "opfreq: folder: Is a directory" /dev/null opfreq folder
if [ -r /proc/kallsyms ]; then  # megabytes, which its length, 0, does not tell
  expect "a file longer than its length says" 1 "opfreq: /proc/kallsyms: file is larger than 262144 bytes" \
    /dev/null opfreq /proc/kallsyms
fi
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  # A copy that nobody can reach, wherever the build folder lies.
  cp demo.bin secret.bin && chmod 000 secret.bin && cp "${OPFREQ[0]}" ./opfreq-copy
  expect "an unreadable file" 1 "opfreq: secret.bin: Permission denied" /dev/null \
    setpriv --reuid=65534 --regid=65534 --clear-groups env --default-signal=PIPE ./opfreq-copy secret.bin
fi

cp demo.bin "my code.bin"
expect "arguments join into one name" 0 "" my.exp opfreq my code.bin
expect "a pipe" 0 "" stdin.exp opfreq /dev/stdin < <(cat demo.bin)
expect "a pipe of many chunks" 0 "" stdin64k.exp opfreq /dev/stdin < <(cat "$SAMPLES/eprom64k_printf_report_ff.bin")
expect "a pipe of 262144 bytes" 0 "" stdin256k.exp opfreq /dev/stdin < <(cat "$SAMPLES/banked256_portlatch.bin")
expect "a pipe of 262145 bytes" 1 "opfreq: /dev/stdin: file is larger than 262144 bytes" /dev/null \
  opfreq /dev/stdin < <(cat huge.bin)
mkfifo dump.fifo
cat demo.bin >dump.fifo &
expect "a FIFO" 0 "" fifo.exp opfreq dump.fifo
for name in ./-demo.bin $'\xff\xfe name.bin'; do
  cp demo.bin "$name" && renamed demo "$name" odd.exp
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
expect "- with nothing on standard input" 1 "opfreq: -: standard input is empty" /dev/null opfreq - </dev/null

# Options are options wherever they stand, whatever files there are; -- ends them.
for name in --help -h --version -x; do cp demo.bin ./"$name"; done
usageWrong() { printf 'opfreq: %s (opfreq --help lists the options)' "$1"; }
expect "an unknown option" 2 "$(usageWrong "unknown option -x")" /dev/null opfreq -x
expect "an unknown long option" 2 "$(usageWrong "unknown option --jsn")" /dev/null opfreq demo.bin --jsn=1
expect "a value for an option that takes none" 2 "$(usageWrong "option --json takes no value")" \
  /dev/null opfreq --json=yes demo.bin
expect "an option without its value" 2 "$(usageWrong "option -o needs a value")" /dev/null opfreq demo.bin -o
expect "options and no name" 2 "$(usageWrong "no image named")" /dev/null opfreq --json
expect "nothing after --" 2 "$(usageWrong "no image named")" /dev/null opfreq --
renamed demo --version odd.exp
expect "after --, a name is a file" 0 "" odd.exp opfreq -- --version
expect "./-h names a file" 0 "" <(renamed demo ./-h odd.exp; cat odd.exp) opfreq ./-h
printf 'opfreq %s\r\n' "$version" >version.exp
expect "--version beside a file of that name" 0 "" version.exp opfreq --version
renamed demo - dash.exp
expect "- reads standard input" 0 "" dash.exp opfreq - <demo.bin

# Many files: each its own report, one missing file said and skipped, status 1 at the end.
{ cat "$SAMPLES/demo.expected"; renamed hexmon "$SAMPLES/hexmon.bin" odd.exp; cat odd.exp; } >two.exp
expect "options after the names; one name missing" 1 "opfreq: nosuch.bin: No such file or directory" \
  two.exp opfreq demo.bin nosuch.bin "$SAMPLES/hexmon.bin" --
expect "-o collects every report" 1 "opfreq: nosuch.bin: No such file or directory" \
  /dev/null opfreq demo.bin nosuch.bin "$SAMPLES/hexmon.bin" -o two.txt
cmp -s two.txt two.exp || { echo "FAILED: -o of many files" >&2; failures=$((failures + 1)); }
expect "-o - is standard output" 0 "" "$SAMPLES/demo.expected" opfreq -o - demo.bin
[ ! -e ./- ] || { echo "FAILED: -o - made a file" >&2; failures=$((failures + 1)); }

# Every refusal the command line and the analysis can give, a row each: the status, the line on
# standard error (after "opfreq: "), and the arguments. "+" stands for the hint that names --help.
printf '0040 init\n' >names.sym && printf '\022' >lcall.bin && mkdir folder.map && cp demo.bin folder.bin
printf ':0100000002FD\n:0100100002ED\n:00000001FF\n' >gap.hex
while IFS='|' read -r status message args; do
  eval "set -- $args"
  expect "refused: $message" "$status" "opfreq: ${message/%+/ (opfreq --help lists the options)}" \
    /dev/null opfreq "$@"
done <<'ROWS'
2|give one view: --json, or one table of --csv+|--json --csv demo.bin
2|--csv=x: the table is opcodes, calls, functions, edges or compare+|--csv=x demo.bin
2|--at 10000: not an address 0 to FFFF in hex+|--at 10000 demo.bin
2|--range 0-10000: wider than 64 KiB+|--range 0-10000 demo.bin
2|--entry adds an entry point to --follow, which is not given+|--entry 10 demo.bin
2|--entry-symbols adds entry points to --follow, which is not given+|--entry-symbols --symbols names.sym demo.bin
2|--vectors moves the vectors of --follow, which is not given+|--vectors 10 demo.bin
2|give --symbols or --maps, not both+|--follow --symbols names.sym --maps demo.bin
2|--entry _x: a name needs --symbols or --maps+|--follow --entry _x demo.bin
2|--entry-symbols takes the code symbols of --symbols or --maps+|--follow --entry-symbols demo.bin
2|--compare takes two images, OLD and NEW, not 1+|--compare demo.bin
2|--compare writes text, --json, --csv=compare or --markdown+|--compare --dot demo.bin demo.bin
2|--markdown writes a comparison, which --compare asks for+|--markdown demo.bin
2|--compare names each build from its own map: give --maps, not --symbols+|--compare --symbols names.sym demo.bin demo.bin
2|--max-growth limits the growth of --compare, which is not given+|--max-growth 5 demo.bin
2|--max-growth 5k: not a number of bytes, 0 or more+|--compare --max-growth 5k demo.bin demo.bin
2|option --json takes no value+|--json=yes demo.bin
2|--entry _x: names.sym has no such name|--follow --entry _x --symbols names.sym demo.bin
2|demo.bin: --entry 0100h is outside the offsets 00000h to 0004Fh at address 0000h|--follow --entry 100 demo.bin
2|demo.bin: --entry init (0040h) is outside the offsets 00000h to 0003Fh at address 0000h|--follow --range 0-3F --entry init --symbols names.sym demo.bin
2|-: standard input has no map beside it|--maps -
1|demo.bin: --follow reached nothing: 0100h is outside the offsets 00000h to 0004Fh at address 0000h (try --vectors or --entry)|--follow --vectors 100 demo.bin
1|lcall.bin: --follow reached nothing: the instruction at 0000h does not fit (try --vectors or --entry)|--follow lcall.bin
1|gap.hex: --follow reached nothing: no byte is written in the offsets 00001h to 0000Fh at address 0001h|--follow --written --range 1-F --vectors 1 gap.hex
1|gap.hex: --follow reached nothing: no byte at 0008h; the lowest written address is 0010h (try --vectors 0010)|--follow --written --range 8-10 --vectors 8 gap.hex
1|folder.map: is a folder, not a regular file (--maps reads the map beside each input; --symbols FILE names one)|--maps folder.bin
1|nosuch.sym: No such file or directory|--follow --symbols nosuch.sym demo.bin
ROWS

{ head -n 18 "$usage" | iconv -f CP866 -t UTF-8 | sed 's/DOS-866/UTF-8/'; } >help.exp
for option in --help -h; do
  opfreq "$option" </dev/null >help.out 2>&1
  head -n 18 help.out | cmp -s - help.exp || { echo "FAILED: $option: the usage text" >&2; failures=$((failures + 1)); }
done

verdict command-line
