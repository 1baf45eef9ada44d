#!/bin/sh
# Makes the demo route group in examples/demo (or the folder given): the group, route and template
# files through the description writer, and the voices spoken by espeak-ng, Russian for language 1
# and English for language 2. Most voices are 8-bit 11025 Hz WAV, the English ones 16-bit 22050 Hz;
# one is a VOC file made by sox and one an MP3 made by lame.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/examples/demo}
for tool in espeak-ng sox lame c++; do
    command -v "$tool" >/dev/null || { echo "make-demo: $tool is missing (see scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

c++ -std=c++20 -O1 -I"$ROOT/src" -o "$work/demo_description" "$ROOT/examples/demo/demo_description.cpp" \
    "$ROOT/src/model/description_writer.cpp" "$ROOT/src/base/cp1251.cpp"
mkdir -p "$OUT/routes" "$OUT/voice"
"$work/demo_description" "$OUT"

tab=$(printf '\t')
"$work/demo_description" --voices | while IFS="$tab" read -r file lang text; do
    espeak-ng -v "$lang" -s 140 -w "$work/spoken.wav" "$text"
    target="$OUT/voice/$file"
    case $file in
        *.voc) sox "$work/spoken.wav" -r 11025 -c 1 -b 8 -e unsigned-integer "$work/out.voc" ;;
        *.mp3) sox "$work/spoken.wav" -r 22050 -c 1 -b 16 "$work/mp3.wav"
               lame --quiet -m m -b 32 "$work/mp3.wav" "$work/out.mp3" ;;
        *_en.wav) sox "$work/spoken.wav" -r 22050 -c 1 -b 16 "$work/out.wav" ;;
        *) sox "$work/spoken.wav" -r 11025 -c 1 -b 8 -e unsigned-integer "$work/out.wav" ;;
    esac
    mv "$work/out.${file##*.}" "$target"
done
echo "make-demo: $(find "$OUT" -type f | wc -l) files, $(du -sk "$OUT" | cut -f1) KB in $OUT"
