#!/bin/sh
# clang-tidy and cppcheck over src/, with the compile commands of a configured build folder.
set -eu
BUILD=${1:-build}
JOBS=${JOBS:-$(nproc)}
[ -f "$BUILD/compile_commands.json" ] || { echo "lint: configure $BUILD first" >&2; exit 2; }
# Generated Qt sources (moc) are not ours to lint.
files=$(find src -name '*.cpp' | sort)
status=0
echo "lint: clang-tidy over $(echo "$files" | wc -l) files"
echo "$files" | xargs -P "$JOBS" -n 4 clang-tidy -p "$BUILD" --quiet >"$BUILD/clang-tidy.log" 2>&1 || status=1
if [ $status -ne 0 ]; then grep -E 'error:|warning:' "$BUILD/clang-tidy.log" | sort -u | head -100; echo "lint: clang-tidy found problems" >&2; fi
echo "lint: cppcheck"
if ! cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ -j "$JOBS" \
        --enable=warning,performance,portability --inline-suppr \
        --suppress=missingIncludeSystem --suppress=unknownMacro \
        -I src src 2>"$BUILD/cppcheck.log"; then
    cat "$BUILD/cppcheck.log"; echo "lint: cppcheck found problems" >&2; status=1
fi
[ $status -eq 0 ] && echo "lint: clean"
exit $status
