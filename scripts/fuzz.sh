#!/bin/sh
# Runs every fuzz target for FUZZ_SECONDS (default 60) each, one after the other, starting from
# the committed seed corpus. New inputs go into the build folder, crashes into fuzz/.
set -eu
BUILD=${1:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
ONLY=${FUZZ_TARGETS:-}
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIS_FUZZ=ON \
    -DKORVIS_GUI=OFF -DKORVIS_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" $(for f in fuzz/fuzz_*.cpp; do n=$(basename "$f" .cpp); echo --target "$n"; done) >/dev/null
status=0
for f in fuzz/fuzz_*.cpp; do
    target=$(basename "$f" .cpp)
    name=${target#fuzz_}
    [ -n "$ONLY" ] && ! echo " $ONLY " | grep -q " $name " && continue
    work="$BUILD/corpus/$name"
    mkdir -p "$work" "fuzz/corpus/$name"
    echo "fuzz: $name for ${SECONDS_EACH}s"
    if ! "$BUILD/fuzz/$target" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
            -artifact_prefix="fuzz/$name-" "$work" "fuzz/corpus/$name" >"$BUILD/$name.log" 2>&1; then
        status=1
        echo "fuzz: $name found a failure:"; tail -40 "$BUILD/$name.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: ' "$BUILD/$name.log" | tail -3
done
exit $status
