#!/usr/bin/env bash
# Measures opfreq against the least work any opcode counter must do (baseline.c: read the file
# whole, count the byte values of its first 65536 bytes).
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
status=0
for input in "${inputs[@]}"; do
  echo
  echo "input: $(basename "$input") ($(stat -c %s "$input") bytes)"
  declare -A ir time rss
  for prog in opfreq baseline; do
    ir[$prog]=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$out/$prog" "$input" \
      2>&1 >/dev/null | sed -n 's/.*Collected : //p')
    rss[$prog]=$( { /usr/bin/time -v "$out/$prog" "$input" >/dev/null; } 2>&1 |
      sed -n 's/.*Maximum resident set size (kbytes): //p')
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
exit $status
