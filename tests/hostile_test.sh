#!/usr/bin/env bash
# Hostile and careless input, as a careful tester of a command-line tool tries it: -o over
# links, inputs and protected files, ranges and symbol files without end, damaged record text,
# signals during -o, and names that are not text. Each row starts from the same folder of
# files and checks the status, standard error, standard output and every file afterwards.
# Usage: hostile_test.sh OPFREQ SAMPLES_DIR
set -u
OPFREQ=("$(realpath "$1")")
SAMPLES=$(realpath "$2")
source "$(dirname "$0")/expect.sh"
cp "${OPFREQ[0]}" "$work/opfreq-copy" && OPFREQ=("$work/opfreq-copy")  # reachable by anyone
fixture=$work/fixture
mkdir "$fixture" && cd "$fixture" || exit 1
cp "$SAMPLES/demo.bin" demo.bin
objcopy -I binary -O ihex demo.bin fw.hex
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(24).randbytes(65536))' >big.bin
echo old >t.txt && ln -s t.txt l.txt && ln -s fw.hex o.lnk && ln -s gone.txt g.lnk
echo log >log.txt && echo keep >k.txt && echo ro >ro.txt && chmod 444 ro.txt
printf '0040 init\r0048 delay\r' >cr.sym && printf '\xef\xbb\xbf0040 _helper\n' >bom.sym
printf '0x nothing\nh nothing\n' >empty.sym && printf '\022' >one.bin && printf '0040 \033[2Jwiped\n' >esc.sym
{ echo 0040 s_CSEG && seq 65535 -1 0 | awk '{printf "%04X n%d\n", $1, $1}' && echo 0040 _late; } >desc.sym
{ printf ':06000000020003120040A3'; printf '%520s' ''; printf 'THIS LINE IS DAMAGED\n:00000001FF\n'; } >long.hex
{ printf 'S1060000020003F3'; printf '%520s' ''; printf 'DAMAGED\nS9030000FC\n'; } >long.s19
printf ':0' >cut.ihx && printf 'S10' >cut.s19 && printf ':0100000002FD\n:00000001FF\x1a' >ctrlz.hex
echo g >g2750.txt && chmod 2750 g2750.txt && echo u >u4755.txt && chmod 4755 u4755.txt
printf '0040 init\n' >fw.map && cp demo.bin 'c.d\x' && printf '0048 delay\n' >c.map && mkfifo fifo.map
cp demo.bin fifo.bin && printf '\x12\x00\x01\x22' >overlap.bin
printf '\xef\x24\xf0\x83\xf5\x82\xef\x24\xf8\x83\xf5\x83\xe4\x73' >movc-out.bin
printf '\x90\xff\x00\x73' >dptr-out.bin && printf '\x12\x00\x03\xd0\x83\xd0\x82\xf8' >helper-end.bin
chmod -R a+rX "$work"
cd "$work" || exit 1

renamed demo demo.bin demo.exp
{ echo log; cat demo.exp; } >log.exp
{ echo old; } >t.exp
printf '\002' >two.bin && { printf 'ctrlz.hex\r\n'; "${OPFREQ[@]}" two.bin | tail -n +2; } >ctrlz.exp

# A memory limit for the rows that must not take memory, where opfreq can run under one (a
# sanitizer's shadow memory cannot).
limitMemory="ulimit -v"
{ (ulimit -v 600000 && "${OPFREQ[@]}" --version) >/dev/null 2>&1; } 2>/dev/null || limitMemory=:

# As a user who owns nothing here; root's writes would pass where a user's would not.
asUser() {
  if [ "$(id -u)" != 0 ]; then "$@"; elif command -v setpriv >/dev/null; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  else return 77; fi
}
# Each file of the folder: its kind, mode and link target, then the bytes of the regular ones.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%p %y %m %l\n' | sort && find . -type f -exec md5sum {} + | sort)
}

# row NAME STATUS STDERR STDOUT CHANGED COMMAND: COMMAND (evaluated in a fresh copy of the
# fixture) ends with STATUS, writes the line STDERR and the bytes of the file STDOUT (- for
# none), and changes no file but those of CHANGED ("FILE=EXPECTED ...", - for none).
row() {
  local name=$1 status=$2 err=$3 out=$4 changed=$5 command=$6
  rm -rf run && cp -a fixture run && cd run || return
  (eval "$command") >../out 2>../err
  local got=$?
  cd "$work" || return
  if [ "$got" = 77 ] && [ "$status" != 77 ]; then echo "SKIPPED: $name (no unprivileged user)"; return; fi
  local want=$unchanged
  if [ "$changed" != - ]; then
    rm -rf want && cp -a fixture want
    for pair in $changed; do cp "${pair#*=}" "want/${pair%%=*}"; done
    want=$(snapshot want)
  fi
  if [ "$got" != "$status" ] || [ "$(cat err)" != "$err" ] ||
    ! cmp -s out "${out/#-//dev/null}" || [ "$(snapshot run)" != "$want" ]; then
    echo "FAILED: $name: status $got, stderr: $(cat err)" >&2
    diff <(echo "$want") <(snapshot run) >&2
    failures=$((failures + 1))
  fi
}

unchanged=$(snapshot fixture)

# A run of opfreq -o OUT that waits on a FIFO for its input and is ended by signal $1; the
# status is the signal's, and neither the output nor its temporary file is left.
killedWhileWriting() {
  mkfifo in.fifo && exec 5<>in.fifo
  (exec env --default-signal "${OPFREQ[@]}" -o out.txt --json in.fifo) &
  sleep 0.2
  kill -"$1" $!
  { wait $!; } 2>/dev/null  # without the shell's word on how the job ended
}

row "-o through a link: the file it leads to is kept when the input fails" 1 \
  "opfreq: missing.bin: No such file or directory" - - 'opfreq -o l.txt missing.bin'
row "-o through a link to the input" 2 "opfreq: -o o.lnk: the output would replace the input fw.hex" \
  - - 'opfreq -o o.lnk fw.hex'
row "-o naming the input" 2 "opfreq: -o fw.hex: the output would replace the input fw.hex" - - \
  'opfreq -o fw.hex fw.hex'
row "-o naming the symbols file" 2 "opfreq: -o cr.sym: the output would replace the symbols file cr.sym" \
  - - 'opfreq -o cr.sym --symbols cr.sym demo.bin'
row "-o /dev/stdout appends as >> does" 0 "" - log.txt=log.exp 'opfreq -o /dev/stdout demo.bin >>log.txt'
row "-o /dev/stdout, the input failing" 1 "opfreq: missing.bin: No such file or directory" - - \
  'opfreq -o /dev/stdout missing.bin >>log.txt'
row "-o through a link writes the file it leads to" 0 "" - t.txt=demo.exp 'opfreq -o l.txt demo.bin'
row "-o a write-protected file" 1 "opfreq: ro.txt: Permission denied" - - 'asUser "${OPFREQ[@]}" -o ro.txt demo.bin'
row "-o a file in a folder that cannot hold the temporary one" 1 \
  "opfreq: .: Permission denied (-o k.txt writes a temporary file there first)" - - \
  'chmod 666 k.txt && chmod 755 . && asUser "${OPFREQ[@]}" -o k.txt demo.bin; s=$?; chmod 644 k.txt; exit $s'
row "-o, every input failing, on a usage error" 2 \
  $'opfreq: demo.bin: the range 00000h to 0FFFFh ends past the image, which has 80 bytes\nopfreq: fw.hex: the range 00000h to 0FFFFh ends past the image, which has 80 bytes' - - \
  'opfreq -o k.txt --range 0-FFFF demo.bin fw.hex'
row "-o, every input failing" 1 $'opfreq: missing.bin: No such file or directory\nopfreq: -: standard input is empty' \
  - - 'opfreq -o k.txt --json missing.bin - </dev/null'
row "-o a dangling link, the input failing" 1 "opfreq: missing.bin: No such file or directory" - - \
  'opfreq -o g.lnk missing.bin'
row "-o a dangling link creates its file" 0 "" - gone.txt=demo.exp 'opfreq -o g.lnk demo.bin'
row "-o a folder that is not there" 1 "opfreq: nofolder/out.txt: No such file or directory" - - \
  'opfreq -o nofolder/out.txt demo.bin'
row "an empty -o" 2 "opfreq: option -o needs a value, not an empty one (opfreq --help lists the options)" \
  - - "opfreq -o '' demo.bin"
row "an empty --symbols=" 2 \
  "opfreq: option --symbols needs a value, not an empty one (opfreq --help lists the options)" - - \
  'opfreq --symbols= demo.bin'
row "an empty --csv=" 2 "opfreq: option --csv needs a value, not an empty one (opfreq --help lists the options)" \
  - - 'opfreq --csv= demo.bin'
row "a range without its end" 2 \
  "opfreq: --range 10-: not FROM-TO, two image offsets in hex, FROM first (opfreq --help lists the options)" \
  - - 'opfreq --range 10- demo.bin'
for range in 1000000000-100000FFFF 3FFF0000-3FFFFFFF; do
  row "--range $range is refused before memory is taken" 2 \
    "opfreq: --range $range: past 3FFFFh, the last offset of the largest image opfreq reads (opfreq --help lists the options)" \
    - - "$limitMemory 200000; opfreq -o out.txt --range $range demo.bin"
done
row "symbols from a device without end" 1 "opfreq: /dev/zero: the symbols file is larger than 64 MiB" - - \
  '$limitMemory 600000; timeout 20 "${OPFREQ[@]}" --csv=calls --symbols /dev/zero demo.bin'
row "symbols from a device of random bytes" 1 "opfreq: /dev/urandom: the symbols file is larger than 64 MiB" \
  - - 'timeout 20 "${OPFREQ[@]}" --csv=calls --symbols /dev/urandom demo.bin'
printf 'file,address,lcall,acall,count,name\ndemo.bin,0048,0,4,4,n72\ndemo.bin,0040,3,0,3,n64\ndemo.bin,0100,0,1,1,n256\n' >desc.exp
row "65536 symbols in descending order" 0 "" desc.exp - 'timeout 10 "${OPFREQ[@]}" --csv=calls --symbols desc.sym demo.bin'
printf 'file,address,lcall,acall,count,name\ndemo.bin,0048,0,4,4,delay\ndemo.bin,0040,3,0,3,init\ndemo.bin,0100,0,1,1,\n' >cr.exp
row "symbols with CR line ends" 0 "" cr.exp - 'opfreq --csv=calls --symbols cr.sym demo.bin'
sed 's/,delay$/,/;s/,init$/,_helper/' cr.exp >bom.exp
row "symbols after a byte order mark" 0 "" bom.exp - 'opfreq --csv=calls --symbols bom.sym demo.bin'
printf 'file,address,lcall,acall,count,name\none.bin,0000,1,0,1,\n' >empty.exp
row "an empty hex number is no address" 0 "" empty.exp - 'opfreq --csv=calls --symbols empty.sym one.bin'
row "an escape sequence in a map is shown, not obeyed" 0 "" - - \
  'opfreq --written --symbols esc.sym demo.bin | tr -d "\r" | grep -qx "    3 times to address 0040 ?\[2Jwiped"'
row "a record line longer than any" 1 \
  "opfreq: long.hex: Intel HEX line 1, column 522: longer than any record (521 characters)" - - 'opfreq long.hex'
row "an S-record line longer than any" 1 \
  "opfreq: long.s19: S-record line 1, column 515: longer than any record (514 characters)" - - 'opfreq long.s19'
row "a record cut inside its count" 1 "opfreq: cut.ihx: Intel HEX line 1: record is shorter than its count" \
  - - 'opfreq cut.ihx'
row "an S-record cut inside its count" 1 "opfreq: cut.s19: S-record line 1: record is shorter than its count" \
  - - 'opfreq cut.s19'
row "Ctrl+Z on the end record's line" 0 "" ctrlz.exp - 'opfreq ctrlz.hex'
# -o is written only when the views wrote something: a comparison writes nothing unless both
# builds are analysed, whatever the status.
for view in "" --json --csv=compare; do
  row "-o with --compare $view, one build missing" 1 "opfreq: nosuch.bin: No such file or directory" - - \
    "opfreq -o k.txt --compare $view demo.bin nosuch.bin"
done
row "-o with --compare, a range past one build" 2 \
  "opfreq: demo.bin: the range 00000h to 0FFFFh ends past the image, which has 80 bytes" - - \
  'opfreq -o k.txt --compare --range 0-FFFF demo.bin big.bin'
row "-o with --compare, a name one map lacks, said once" 2 \
  "opfreq: fw.hex: --entry _x: fw.map has no such name" - - \
  'opfreq -o k.txt --compare --maps --entry _x fw.hex fw.hex'
row "-o a dangling link with --compare, one build missing" 1 \
  "opfreq: nosuch.bin: No such file or directory" - - 'opfreq -o g.lnk --compare demo.bin nosuch.bin'
for mode in 2750 4755; do
  file=$(ls fixture/?$mode.txt) && file=${file#fixture/}
  row "-o keeps the mode $mode" 0 "" - "$file=demo.exp" "opfreq -o $file demo.bin"
done
limitSymbols="ulimit -v $(((4 * 64 + 16 + 24) * 1024))"  # 4 x the text, 16 MiB, the program itself
[ "$limitMemory" = : ] && limitSymbols=:
row "symbols from a pipe without end, in bounded memory" 1 \
  "opfreq: /dev/fd/63: the symbols file is larger than 64 MiB" - - \
  "$limitSymbols; opfreq --follow --symbols <(yes '0 a') demo.bin"
if [ "$limitMemory" != : ]; then
  row "out of memory is one line" 1 "opfreq: out of memory" - - \
    "ulimit -v 60000; opfreq --follow --symbols <(yes '0 a') demo.bin"
fi
row "a map that is a FIFO is refused at once" 1 \
  "opfreq: fifo.map: is a FIFO, not a regular file (--maps reads the map beside each input; --symbols FILE names one)" \
  - - 'timeout 10 "${OPFREQ[@]}" --follow --maps fifo.bin'
row "a missing image is blamed, not its map" 1 "opfreq: nosuch.bin: No such file or directory" - - \
  'opfreq --follow --maps nosuch.bin'
row "a missing map says who looked for it" 1 \
  "opfreq: demo.map: No such file or directory (--maps reads the map beside each input; --symbols FILE names one)" \
  - - 'opfreq --maps demo.bin'
row "a name without a file name part has no map" 1 "opfreq: ..: has no file name, so no map beside it" \
  - - 'opfreq --maps ..'
printf 'file,address,lcall,acall,count,name\nc.d\\x,0048,0,4,4,delay\nc.d\\x,0040,3,0,3,\nc.d\\x,0100,0,1,1,\n' >sep.exp
row "only / separates folders" 0 "" sep.exp - "opfreq --csv=calls --maps 'c.d\\x'"
for abbreviation in f:--follow,\ --functions c:--csv,\ --compare; do
  row "--${abbreviation%%:*} is ambiguous" 2 "opfreq: --${abbreviation%%:*} is ambiguous: ${abbreviation#*:}" \
    - - "opfreq --${abbreviation%%:*} demo.bin"
done
printf 'Total size of code: 4\n' >overlap.exp
row "each byte once, however many instructions cover it" 0 "" overlap.exp - \
  "opfreq --follow overlap.bin | tr -d '\\r' | sed -n 4p"
printf 'Swept: the code reached from 0000h 0001h 0002h 0003h 0004h 0005h 0006h 0007h and 72 more, offsets 00000h to 0004Fh at address 0000h\n' >entries.exp
row "line 2 names eight entry points" 0 "" entries.exp - \
  "opfreq --follow --entry-symbols --symbols desc.sym demo.bin | tr -d '\\r' | sed -n 2p"
# Tables and helpers that the image holds only in part: said, never read past its end.
for case in movc-out:000D dptr-out:0003 helper-end:0000; do
  printf 'unresolved: 1 (first at %sh)\n' "${case#*:}" >unresolved.exp
  row "${case%:*}: unresolved, not read past the image" 0 "" unresolved.exp - \
    "opfreq --follow ${case%:*}.bin | tr -d '\\r' | sed -n 3p"
done
row "a name with a line end makes one line" 1 "opfreq: nosuch?name.bin: No such file or directory" - - \
  "opfreq --json \$'nosuch\\nname.bin' >/dev/null"
for signal in HUP INT QUIT ALRM TERM USR1 USR2 XCPU XFSZ VTALRM PROF IO; do
  row "SIG$signal during -o leaves nothing" $((128 + $(kill -l "$signal"))) "" - - \
    "killedWhileWriting $signal; s=\$?; rm in.fifo; exit \$s"
done
row "a file size limit during -o leaves nothing" $((128 + $(kill -l XFSZ))) "" - - \
  'ulimit -f 8; env --default-signal "${OPFREQ[@]}" -o out.txt --csv=calls big.bin & { wait $!; } 2>/dev/null'
row "a file size limit during -o, SIGXFSZ ignored" 1 "opfreq: error writing out.txt: File too large" - - \
  'ulimit -f 8; env --ignore-signal=XFSZ "${OPFREQ[@]}" -o out.txt --csv=calls big.bin'

verdict "hostile input"
