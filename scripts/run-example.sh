#!/bin/sh
# Starts kalidor on the bundled example observations.
build=${1:-build}
if [ ! -x "$build/bin/kalidor" ]; then
    echo "kalidor is not built yet; the converters on their examples:"
    for cmd in "tempconv 98.6" "lapsor 1:12:00 3:00:00" "sexadec 12:30"; do
        echo "\$ $cmd"
        "$build/bin/"$cmd
        echo
    done
    exit 0
fi
cd examples && exec "../$build/bin/kalidor" example.dat
