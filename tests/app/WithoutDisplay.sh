#!/bin/sh
# halvexcfg without a display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset):
# --help and --version answer with exit 0; the program itself says what ./run says and
# exits 1 instead of Qt's abort (134).
#   WithoutDisplay.sh HALVEXCFG VERSION
set -u
app=$1
version=$2
fail() {
    echo "$*" >&2
    exit 1
}
bare() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" "$@"; }

out=$(bare --help) || fail "--help ended with $?"
case $out in
"Usage: halvexcfg [--demo [OSDSIM OPTIONS...]]"*) ;;
*) fail "--help printed: $out" ;;
esac
out=$(bare --version) || fail "--version ended with $?"
[ "$out" = "halvexcfg (HalvexCfg) $version" ] || fail "--version printed: $out"

err=$(bare 2>&1 >/dev/null)
status=$?
[ $status -eq 1 ] || fail "without a display: exit $status, not 1: $err"
case $err in
"halvexcfg: no graphical display (DISPLAY and WAYLAND_DISPLAY are empty)."*"Xvfb :99 & DISPLAY=:99 halvexcfg"*) ;;
*) fail "without a display it said: $err" ;;
esac
