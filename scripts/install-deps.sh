#!/bin/sh
# Installs the Debian packages the project needs to build and test, when any
# is missing.  Uses sudo when not run as root; does nothing when all are there.
set -e
packages="build-essential cmake make pkg-config googletest libgtest-dev libbenchmark-dev
libsdl2-dev libpng-dev libsleef-dev libcairo2-dev libgsl-dev nlohmann-json3-dev xvfb x11-apps xdotool xauth man-db groff-base"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends $missing
