#!/bin/sh
# Renders a manual page with man and fails when man or groff warns.
# Exit status 77 (skipped) when man is not installed.
page="$1"
command -v man >/dev/null 2>&1 || { echo "man is not installed"; exit 77; }
[ -r "$page" ] || { echo "no page $page"; exit 1; }
warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
    echo "$warnings"
    exit 1
fi
rendered=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null)
[ -n "$rendered" ] || { echo "empty rendering of $page"; exit 1; }
exit 0
