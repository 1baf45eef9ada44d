#!/bin/sh
# The main job on the bundled demo group and simulated programmers: build the demo group, write
# it into the cartridges of two simulated programmers with verification, read one back and compare
# it with the image. Exits nonzero on any mismatch and leaves nothing running.
set -eu
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
LMK=$(cd "$BUILD" && pwd)/src/app/lmk
[ -x "$LMK" ] || { echo "demo: $LMK is missing (build first)" >&2; exit 1; }

work=$(mktemp -d)
sim_pid=
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -r "$ROOT/examples/demo" "$work/demo"
echo "== lmk build: the demo group"
"$LMK" build "$work/demo/demo.mrg" -o "$work/image.bin" --page-map "$work/map.bin"
length=$(wc -c < "$work/image.bin")

echo "== lmk sim: two simulated programmers, a blank 2 MB and a blank 4 MB cartridge"
mkfifo "$work/sim.in"
"$LMK" sim --dir "$work/sim" -n 1 --insert 44 < "$work/sim.in" > "$work/sim.out" 2>&1 &
sim_pid=$!
exec 3> "$work/sim.in"
echo "add 52" >&3
i=0
until [ -e "$work/sim/ttyLMK1" ]; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "demo: the simulator did not start" >&2; cat "$work/sim.out" >&2; exit 1; }
    sleep 0.1
done
sleep 0.2
export KORVIS_SIM="$work/sim"
"$LMK" devices

echo "== lmk write --verify: both cartridges"
"$LMK" write --image "$work/image.bin" --page-map "$work/map.bin" --count 2 --verify --log "$work/write.csv" \
    < /dev/null

echo "== lmk read: the 4 MB cartridge, taken out and put back"
echo "reinsert 1" >&3
"$LMK" read --port "$work/sim/ttyLMK1" -o "$work/back.bin" < /dev/null
if cmp -s -n "$length" "$work/image.bin" "$work/back.bin"; then
    same=yes
else
    same=no
fi
echo "quit" >&3
exec 3>&-
wait "$sim_pid" 2>/dev/null || true
sim_pid=

written=$(grep -c ',written,' "$work/write.csv" || true)
echo "== demo summary"
echo "image: $length bytes; cartridges written and verified: $written of 2; read back equal to the image: $same"
[ "$written" = 2 ] && [ "$same" = yes ] || { echo "demo: FAILED" >&2; exit 1; }
echo "demo: passed"
