#!/usr/bin/env bash
# Measures opfreq against the least work any opcode counter must do (baseline.c: read the file
# whole, count the byte values of its first 65536 bytes), Intel HEX against the binary image it
# describes, the views and sweeps against the legacy report, functions and comparisons against
# the follow sweep, symbol files in any order against sorted ones, and the memory that 64 MiB of
# symbols takes.
#
# opfreq is built the way a user builds it (cmake -DCMAKE_BUILD_TYPE=Release, with the link
# options CMakeLists.txt sets for that build); the baseline is compiled by the same compiler
# with the same optimisation and link flags. Needs valgrind, hyperfine and GNU time
# (apt-get install valgrind hyperfine time).
#
# Usage: bench/run.sh [build folder]     (default: build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-bench}")

cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DOPFREQ_TESTS=OFF >/dev/null
cmake --build "$out" -j2 --target opfreq >/dev/null
cxx=$(cmake -N -LA "$out" | sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p')
flags=$(cmake -N -LA "$out" | sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:[A-Z]*=//p')
static=$(cmake -N -LA "$out" | sed -n 's/^OPFREQ_STATIC:BOOL=//p')
link=""
[ "$static" = "ON" ] && link="-static"
# shellcheck disable=SC2086
"$cxx" -x c $flags $link "$root/bench/baseline.c" -o "$out/baseline"
"$cxx" -x c -O2 "$root/bench/make_random.c" -o "$out/make_random"
"$out/make_random" 262144 >"$out/random256k.bin"

echo "compiler: $("$cxx" --version | head -n 1); flags: $flags $link"
inputs=("$out/random256k.bin" "$root/tests/data/samples/eprom64k_printf_report_ff.bin")
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : //p'
}
peakRss() {
  { /usr/bin/time -v "$@" >/dev/null; } 2>&1 | sed -n 's/.*Maximum resident set size (kbytes): //p'
}

status=0
for input in "${inputs[@]}"; do
  echo
  echo "input: $(basename "$input") ($(stat -c %s "$input") bytes)"
  declare -A ir time rss
  for prog in opfreq baseline; do
    ir[$prog]=$(instructions "$out/$prog" "$input")
    rss[$prog]=$(peakRss "$out/$prog" "$input")
    time[$prog]=$(hyperfine -N --warmup 50 --runs 1000 --export-json "$out/$prog.json" \
      "$out/$prog $input" >/dev/null 2>&1 && python3 -c \
      "import json,sys; print('%.1f' % (json.load(open(sys.argv[1]))['results'][0]['mean']*1e6))" \
      "$out/$prog.json")
  done
  irRatio=$(awk "BEGIN{printf \"%.2f\", ${ir[opfreq]}/${ir[baseline]}}")
  timeRatio=$(awk "BEGIN{printf \"%.2f\", ${time[opfreq]}/${time[baseline]}}")
  printf '%-10s %14s %12s %14s\n' "" instructions "wall (us)" "peak RSS (KiB)"
  printf '%-10s %14s %12s %14s\n' opfreq "${ir[opfreq]}" "${time[opfreq]}" "${rss[opfreq]}"
  printf '%-10s %14s %12s %14s\n' baseline "${ir[baseline]}" "${time[baseline]}" "${rss[baseline]}"
  printf '%-10s %14s %12s\n' ratio "$irRatio" "$timeRatio"
  awk "BEGIN{exit !($irRatio <= 1.5 && $timeRatio <= 1.5 && ${rss[opfreq]} <= 2048)}" ||
    { echo "target missed: 1.5x instructions and wall time, 2048 KiB peak RSS"; status=1; }
done

# HEX as objcopy writes it, 16 data bytes a record, the usual layout of 8051 toolchains.
echo
echo "Intel HEX (objcopy, 16 bytes a record) against the binary image"
printf '%-28s %10s %14s %14s\n' image "HEX bytes" instructions "peak RSS (KiB)"
for image in "$root/tests/data/samples/eprom64k_printf_report_ff.bin" "$out/random256k.bin"; do
  hex=$out/$(basename "$image" .bin).hex
  objcopy -I binary -O ihex "$image" "$hex"
  binIr=$(instructions "$out/opfreq" "$image")
  hexIr=$(instructions "$out/opfreq" "$hex")
  hexRss=$(peakRss "$out/opfreq" "$hex")
  ratio=$(awk "BEGIN{printf \"%.2f\", $hexIr/$binIr}")
  printf '%-28s %10s %14s %14s\n' "$(basename "$image")" "$(stat -c %s "$hex")" "$hexIr" "$hexRss"
  printf '%-28s %10s %14s   (%s x the binary)\n' "" "" "$binIr" "$ratio"
  # The instruction target is for the 64 KiB image, all of which is swept; of a larger image
  # only the first 64 KiB are read as binary, while its HEX text must be read whole.
  [ "$(stat -c %s "$image")" -le 65536 ] || ratio=0
  awk "BEGIN{exit !($ratio <= 6 && $hexRss <= 2048)}" ||
    { echo "target missed: 6x the binary's instructions, 2048 KiB peak RSS"; status=1; }
done
# The views and sweeps against the legacy report of the same 64 KiB image: JSON at most 2x its
# instructions, --follow 4x, the linear sweeps 1.5x; peak RSS under 2 MiB throughout. Random
# bytes are the hard case for JSON: about 1500 call targets, each with a row of its own. They
# are the hard case for --follow too, which looks at each of some 1,200 call targets for a
# helper that reads data after its call, and at each of their hundreds of JMP @A+DPTR for two
# kinds of table: --follow is held to 4x on firmware, and to 6x on random bytes.
"$out/make_random" 65536 >"$out/random64k.bin"
echo
echo "views and sweeps against the legacy report (instructions; ratio; peak RSS KiB)"
for image in "$root/tests/data/samples/eprom64k_printf_report_ff.bin" "$out/random64k.bin"; do
  legacy=$(instructions "$out/opfreq" "$image")
  echo "$(basename "$image"): legacy report $legacy"
  follow=4
  [[ $image == */random* ]] && follow=6
  for run in "--json 2" "--follow $follow" "--written 1.5" "--range 0-FFFF 1.5"; do
    options=${run% *}
    limit=${run##* }
    # shellcheck disable=SC2086
    ir=$(instructions "$out/opfreq" $options "$image")
    # shellcheck disable=SC2086
    rss=$(peakRss "$out/opfreq" $options "$image")
    ratio=$(awk "BEGIN{printf \"%.2f\", $ir/$legacy}")
    printf '  %-20s %10s %6s x %6s KiB\n' "$options" "$ir" "$ratio" "$rss"
    awk "BEGIN{exit !($ratio <= $limit && $rss <= 2048)}" ||
      { echo "target missed: $limit x the legacy report's instructions, 2048 KiB"; status=1; }
  done
done

# Functions and comparisons against the follow sweep they build on: --functions at most 2x the
# --follow run's instructions, --compare of two 64 KiB builds at most 2x the two --functions
# runs, peak RSS under 4 MiB. The second build of each pair is the first with 200 bytes changed.
# Random bytes are shown but not held to the --functions target: they make some 1,200 call
# targets, each a "function" of a few instructions, where a firmware image has tens.
echo
echo "functions and comparisons (instructions; ratio; peak RSS KiB)"
for image in "$root/tests/data/samples/eprom64k_printf_report_ff.bin" "$out/random64k.bin"; do
  python3 -c "
import random, sys
data = bytearray(open(sys.argv[1], 'rb').read())
r = random.Random(27)
for _ in range(200): data[r.randrange(len(data))] = r.randrange(256)
open(sys.argv[2], 'wb').write(data)" "$image" "$out/changed.bin"
  follow=$(instructions "$out/opfreq" --follow "$image")
  functions=$(instructions "$out/opfreq" --functions "$image")
  changed=$(instructions "$out/opfreq" --functions "$out/changed.bin")
  compare=$(instructions "$out/opfreq" --compare "$image" "$out/changed.bin")
  rss=$(peakRss "$out/opfreq" --compare "$image" "$out/changed.bin")
  ratio=$(awk "BEGIN{printf \"%.2f\", $functions/$follow}")
  compareRatio=$(awk "BEGIN{printf \"%.2f\", $compare/($functions+$changed)}")
  echo "$(basename "$image"): --follow $follow"
  printf '  %-20s %10s %6s x of --follow\n' --functions "$functions" "$ratio"
  printf '  %-20s %10s %6s x of the two --functions %6s KiB\n' --compare "$compare" "$compareRatio" "$rss"
  [[ $image == */random* ]] && ratio=0
  awk "BEGIN{exit !($ratio <= 2 && $compareRatio <= 2 && $rss <= 4096)}" ||
    { echo "target missed: --functions 2 x --follow, --compare 2 x two --functions, 4096 KiB"; status=1; }
done

# 65,536 symbols in any order cost at most 2x as many in ascending order.
seq 0 65535 | awk '{printf "%04X n%d\n", $1, $1}' >"$out/ascending.sym"
sort -r "$out/ascending.sym" >"$out/descending.sym"
python3 -c "
import random, sys
lines = open(sys.argv[1]).readlines()
random.Random(24).shuffle(lines)
open(sys.argv[2], 'w').writelines(lines)" "$out/ascending.sym" "$out/shuffled.sym"
demo=$root/tests/data/samples/demo.bin
sorted=$(instructions "$out/opfreq" --csv=calls --symbols "$out/ascending.sym" "$demo")
echo
echo "65536 symbols: ascending $sorted instructions"
for order in descending shuffled; do
  ir=$(instructions "$out/opfreq" --csv=calls --symbols "$out/$order.sym" "$demo")
  ratio=$(awk "BEGIN{printf \"%.2f\", $ir/$sorted}")
  printf '  %-12s %10s %6s x\n' "$order" "$ir" "$ratio"
  awk "BEGIN{exit !($ratio <= 2)}" || { echo "target missed: 2 x the ascending order"; status=1; }
done

# Symbols in bounded memory: reading S bytes of symbols peaks at most at 4 x S + 16 MiB, with
# 16.7 million one-letter names as with one endless line of words.
echo
echo "64 MiB of symbols with --follow --maps (peak RSS; the bound is 4 x 64 MiB + 16 MiB)"
printf '\x02\x00\x03\x22' >"$out/fw.bin"
bound=$(((4 * 64 + 16) * 1024))
for shape in "0 a lines" "one line"; do
  if [ "$shape" = "one line" ]; then
    head -c $((64 << 20)) <(yes 'a' | tr '\n' ' ') >"$out/fw.map"
  else
    head -c $((64 << 20)) <(yes '0 a') >"$out/fw.map"
  fi
  rss=$(peakRss "$out/opfreq" --follow --maps "$out/fw.bin")
  printf '  %-12s %8s KiB\n' "$shape" "$rss"
  [ "$rss" -le "$bound" ] || { echo "target missed: $bound KiB"; status=1; }
done
rm -f "$out/fw.map"

# --json over the samples: one run against a run per file.
samples=("$root"/tests/data/samples/*.bin)
hyperfine -N --warmup 3 --runs 20 --export-json "$out/many.json" \
  "$out/opfreq --json ${samples[*]}" >/dev/null 2>&1
one=$(python3 -c "import json,sys; print('%.0f' % (json.load(open(sys.argv[1]))['results'][0]['mean']*1e6))" "$out/many.json")
start=$(date +%s%N)
for _ in $(seq 20); do for sample in "${samples[@]}"; do "$out/opfreq" --json "$sample" >/dev/null; done; done
each=$((($(date +%s%N) - start) / 20000))
echo
echo "--json of the ${#samples[@]} samples: one run ${one} us, a run each ${each} us"
[ "$one" -lt "$each" ] || { echo "target missed: one run faster than a run each"; status=1; }
exit $status
