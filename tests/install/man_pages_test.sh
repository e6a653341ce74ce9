#!/usr/bin/env bash
# Lints each manual page and checks that man renders its sections.
# Usage: man_pages_test.sh PAGE...
set -euo pipefail
for page in "$@"; do
    mandoc -T lint "$page"
    complaints=$(mktemp)
    rendered=$(MANWIDTH=80 man -l "$page" 2>"$complaints")
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"; do
        grep -q "^$section\$" <<<"$rendered" || { echo "FAIL: $page lacks $section" >&2; exit 1; }
    done
    if [ -s "$complaints" ]; then
        echo "FAIL: man complains about $page:" >&2
        cat "$complaints" >&2
        exit 1
    fi
    rm "$complaints"
done
