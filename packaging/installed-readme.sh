#!/bin/sh
# Writes the README as the installed package gives it: what only a source checkout has
# (./run, ./test, paths in build/) is left out, and the installed program's words take its
# place. In README.md a checkout-only passage stands between the lines "<!-- checkout -->"
# and "<!-- /checkout -->"; its installed counterpart is a comment that opens with the line
# "<!-- installed" and closes with the line "-->", hidden where the source tree's README is
# shown.
#   installed-readme.sh README.md OUTPUT
set -eu
awk '
/^<!-- checkout -->$/ { checkout = 1; next }
/^<!-- \/checkout -->$/ { checkout = 0; next }
/^<!-- installed$/ { installed = 1; next }
installed && /^-->$/ { installed = 0; next }
!checkout { print }
' "$1" >"$2.tmp"
mv "$2.tmp" "$2"
