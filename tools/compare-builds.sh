#!/usr/bin/env bash
# Runs two builds of opfreq over the same inputs, every view with every sweep, and lists each
# run whose standard output, standard error or exit status differs between them: the check that
# a change of shape changed no byte. The inputs are the samples, random images of the sizes at
# the edges (as binaries and as Intel HEX with gaps) and an SDCC build with its map.
#
# Usage: tools/compare-builds.sh OLD_OPFREQ NEW_OPFREQ [OPTIONS...]
#   OPTIONS, when given, are added to every run (--symbols FILE, say).
set -uo pipefail
old=$(realpath "$1") new=$(realpath "$2")
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

python3 - <<'EOF'
import random
rng = random.Random(25)
for size in (1, 2, 3, 100, 4096, 65535, 65536, 65537, 131072, 262144):
    for kind in ("random", "calls"):
        pool = [0x02, 0x12, 0x11, 0x31, 0x01, 0x80, 0x73, 0x22, 0x00, 0xFF, 0x90]
        data = bytes(rng.choice(pool) if kind == "calls" and rng.random() < 0.5 else rng.randrange(256)
                     for _ in range(size))
        open("%s%d.bin" % (kind, size), "wb").write(data)
EOF
for image in random65536 calls65537 calls4096; do
  objcopy -I binary -O ihex $image.bin $image.full.hex
  awk 'NR % 7 != 3' $image.full.hex >$image.hex  # records left out: gaps of FFh
done
if command -v sdcc >/dev/null; then
  printf '%s\n' '#include <stdint.h>' 'volatile uint8_t x;' 'void f(uint8_t a){ x+=a; }' \
    'void isr(void) __interrupt(1) { x++; }' \
    'void main(void){ for(uint8_t i=0;i<10;i++){ f(i); switch(x){case 0: f(1); break; case 1: f(2); break; case 2: x=3; break;} } while(1); }' >m.c
  sdcc m.c >/dev/null && sdcc --code-loc 0x2000 -o high.ihx m.c >/dev/null
fi
inputs=("$root"/tests/data/samples/*.bin "$root"/tests/data/hex/*.ihx ./*.bin ./*.hex ./*.ihx)

views=("" --json --csv --csv=calls)
sweeps=("" --follow --written "--range 10-FFFF" "--range 8000-17FFF --at 8000" "--follow --entry 100 --entry FFF0"
  "--follow --written" "--follow --range 100-7FFF --at 0" --functions "--functions --written")
differ=0
runs=0
compare() {
  local oldStatus newStatus
  "$old" "$@" >old.out 2>old.err </dev/null
  oldStatus=$?
  "$new" "$@" >new.out 2>new.err </dev/null
  newStatus=$?
  runs=$((runs + 1))
  if [ $oldStatus != $newStatus ] || ! cmp -s old.out new.out || ! cmp -s old.err new.err; then
    echo "differs: opfreq $*"
    differ=$((differ + 1))
  fi
}
for input in "${inputs[@]}"; do
  compare "$input"
  for view in "${views[@]}"; do
    for sweep in "${sweeps[@]}"; do
      # shellcheck disable=SC2086
      compare $view $sweep "$@" "$input"
    done
  done
done
[ -e m.map ] && for view in "${views[@]}" --csv=functions; do
  compare $view --functions --entry-symbols --symbols m.map m.ihx
done
# Two builds compared, in each of the comparison's views, and functions in CSV.
previous=
for input in "${inputs[@]}"; do
  compare --csv=functions "$input"
  if [ -n "$previous" ]; then
    for view in "" --json --csv=compare; do compare --compare $view "$previous" "$input"; done
  fi
  previous=$input
done
compare --json "${inputs[@]}" nosuch.bin
compare --help
compare
echo "$runs runs, $differ differ"
[ $differ = 0 ]
