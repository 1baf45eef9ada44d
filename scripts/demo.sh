#!/bin/sh
# The main job on the bundled demo group and simulated programmers.
set -e
BUILD=${1:-build}
"$BUILD/src/app/lmk" --help
