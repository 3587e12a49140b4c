#!/bin/sh
# Installs the Debian packages that are missing: those that building and
# running the programs need and, with --tests, also those that the tests and
# the benchmark add.  Uses sudo when not run as root and does nothing when
# every package is there.  The package manager's output goes to a log that
# is shown only when the installation fails.
# Usage: install-deps.sh [--tests]

# Building and running the programs.
build_packages="
build-essential
cmake
make
pkg-config
libsdl2-dev
libpng-dev
liberfa-dev
libgsl-dev
nlohmann-json3-dev
libcairo2-dev
libcfitsio-dev
libfftw3-dev
pybind11-dev
python3-dev
python3-numpy
"

# What the tests and the benchmark add.
test_packages="
googletest
libgtest-dev
libbenchmark-dev
xvfb
x11-apps
xdotool
xauth
man-db
groff-base
parallel
python3-astropy
python3-pytest
python3-dask
python3-distributed
"

case "$1" in
    "") packages=$build_packages ;;
    --tests) packages="$build_packages $test_packages" ;;
    *)
        echo "Usage: install-deps.sh [--tests]" >&2
        exit 2
        ;;
esac

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "Missing packages:$missing" >&2
    echo "Install them as root (sudo is not available)." >&2
    exit 1
fi

echo "Installing missing packages:$missing"
log=$(mktemp) || exit 1
trap 'rm -f "$log"' EXIT
# sudo clears the environment, so the front end is set on apt-get's own
# command line.
if ! { $sudo apt-get update -qq &&
       $sudo env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "Installing the packages failed; the package manager's output is above." >&2
    exit 1
fi
