#!/bin/sh
# Installs every Debian package the project needs to build, test and package.
# Does nothing when they are all present.
set -e
PKGS="build-essential cmake pkg-config git
qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
libmpg123-dev libudev-dev
googletest libgtest-dev libgmock-dev libbenchmark-dev
clang libclang-rt-14-dev clang-tidy cppcheck
sox lame xvfb xauth x11-utils imagemagick espeak-ng
desktop-file-utils man-db dpkg-dev file"
missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
echo "install-deps: installing$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
