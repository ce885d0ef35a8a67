#!/usr/bin/env bash
# Checks of the Debian package, run by ctest (see CMakeLists.txt here).
#   PackageTest.sh build BINARY_DIR OUT     build the package into OUT/deb, unpack it to OUT/root
#   PackageTest.sh fields OUT               control fields filled and library dependencies found
#   PackageTest.sh files OUT PATH...        the package holds exactly these files
#   PackageTest.sh copyright OUT            the copyright file is in Debian's machine-readable
#                                           format
#   PackageTest.sh demo OUT                 the installed halvexcfg --demo runs the installed
#                                           board with its own preferences
#   PackageTest.sh udev OUT                 udevadm test reads the installed udev rule without
#                                           a complaint (skipped, exit 77, without udevadm or
#                                           a private mount namespace)
#   PackageTest.sh udev-broken OUT          the same check fails on broken copies of the rule
#   PackageTest.sh postinst OUT             postinst reloads udev's rules, then triggers the
#                                           tty devices, and succeeds where udev is missing
#                                           or not running
set -euo pipefail
mode=$1
deb() { ls "$OUT"/deb/halvexcfg_*.deb; }

# Whether udevadm test can check a rule here; exits 77 (skipped) when it cannot.
need_rule_check() {
    if ! command -v udevadm >/dev/null 2>&1; then
        echo "udevadm is not installed here: the rule's check is skipped"
        exit 77
    fi
    [ "$(id -u)" -eq 0 ] || userns=--map-root-user
    if ! unshare ${userns:-} --mount true 2>/dev/null; then
        echo "no private mount namespace here (unshare --mount): the rule's check is skipped"
        exit 77
    fi
    device=$(ls -d /sys/class/tty/* 2>/dev/null | head -n 1)
    [ -n "$device" ] || { echo "no tty device in /sys: the rule's check is skipped"; exit 77; }
}

# Checks the udev rule file RULE with udevadm test, which every udev has (verify came with
# systemd 254; Debian 12 has 252). In a private mount namespace the rules folders hold only
# this rule and /run and /dev are empty, so nothing of the machine is read or changed. udev
# names each complaint about a rule with the rule's path and line ("...rules:13 Invalid
# operator for ATTRS."): any such line fails, as does a rule udev did not read.
check_rule() { # RULE
    local rules out status=0 installed=/usr/lib/udev/rules.d/60-halvexcfg.rules
    rules=$(mktemp -d)
    cp "$1" "$rules/60-halvexcfg.rules"
    out=$(unshare ${userns:-} --mount sh -c '
        set -e
        mount --make-rprivate /
        mount --bind "$1" /usr/lib/udev/rules.d
        for d in /lib/udev/rules.d /etc/udev/rules.d; do
            if [ -d "$d" ] && [ ! "$d" -ef /usr/lib/udev/rules.d ]; then mount -t tmpfs none "$d"; fi
        done
        mount -t tmpfs none /run
        mount -t tmpfs none /dev
        udevadm test --action=add "$2" 2>&1' sh "$rules" "$device") || status=$?
    rm -rf "$rules"
    if [ $status -ne 0 ]; then
        echo "$out"
        echo "udevadm test failed (exit $status)"
        return 1
    fi
    if ! grep -qxF "Reading rules file: $installed" <<<"$out"; then
        echo "$out"
        echo "udevadm test did not read the rule"
        return 1
    fi
    if grep -E "^$installed:[0-9]" <<<"$out"; then
        echo "udev finds fault with the rule (lines above)"
        return 1
    fi
    echo "udevadm test $(udevadm --version) reads the rule without a complaint"
}

case $mode in
build)
    OUT=$3
    rm -rf "$OUT"
    mkdir -p "$OUT/deb" "$OUT/root"
    cpack --config "$2/CPackConfig.cmake" -B "$OUT/deb" >"$OUT/cpack.log" 2>&1 ||
        { cat "$OUT/cpack.log"; exit 1; }
    name=$(basename "$(deb)")
    [[ $name =~ ^halvexcfg_[0-9.]+_$(dpkg --print-architecture)\.deb$ ]] ||
        { echo "unexpected package name $name"; exit 1; }
    dpkg-deb -x "$(deb)" "$OUT/root"
    echo "built and unpacked $name"
    ;;
fields)
    OUT=$2
    info=$(dpkg-deb -I "$(deb)")
    echo "$info"
    for field in 'Package: halvexcfg' 'Section: electronics' 'Homepage: https://' \
        'Depends: .*libqt6core6 .*libqt6widgets6' 'Depends: .*qt6-qpa-plugins' \
        'Depends: .*fonts-liberation' 'Depends: .*libqt6svg6' \
        'Description: configurator for the Halvex MAX7456 OSD board'; do
        grep -Eq "^ $field" <<<"$info" || { echo "missing: $field"; exit 1; }
    done
    ;;
files)
    OUT=$2
    shift 2
    actual=$(dpkg-deb -c "$(deb)" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [ "$actual" != "$expected" ]; then
        diff <(echo "$expected") <(echo "$actual") || true
        echo "the package's files differ from the expected list (< expected, > in package)"
        exit 1
    fi
    echo "$actual"
    ;;
copyright)
    OUT=$2
    file="$OUT/root/usr/share/doc/halvexcfg/copyright"
    cat "$file"
    [ "$(head -n 1 "$file")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
        { echo "the first line does not name the format"; exit 1; }
    # Every line: a field, a continuation (a blank, then text; " ." for an empty line), or
    # the empty line between paragraphs.
    bad=$(grep -nvE '^([A-Za-z-]+: .*|[ \t].*[^ \t].*|)$' "$file" || true)
    [ -z "$bad" ] || { echo "not a field or continuation line: $bad"; exit 1; }
    # Each paragraph opens with a field.
    awk 'prev == "" && $0 != "" && $0 !~ /^[A-Za-z-]+: / {bad = 1} {prev = $0} END {exit bad}' \
        "$file" || { echo "a paragraph that does not open with a field"; exit 1; }
    # A files paragraph with its copyright and the licence's full text.
    awk -v RS= '/(^|\n)Files: \*\n/ && /\nCopyright: [^\n]+/ && /\nLicense: Expat\n Permission is hereby granted/ {found = 1}
        END {exit !found}' "$file" || { echo "no Files paragraph with copyright and licence text"; exit 1; }
    ;;
demo)
    OUT=$2
    work="$OUT/demo"
    rm -rf "$work"
    mkdir -p "$work/real-config"
    mkdir -m 700 "$work/runtime"
    XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/real-config" \
        XDG_RUNTIME_DIR="$work/runtime" setsid "$OUT/root/usr/bin/halvexcfg" --demo \
        >"$work/log" 2>&1 &
    pid=$!
    trap 'kill -TERM -- -$pid 2>/dev/null || true' EXIT
    ini="$work/state/halvexcfg/demo/config/Brenn/HalvexCfg.ini"
    # Wait for the launcher to map the port (its message follows the preferences).
    for _ in $(seq 1 600); do
        grep -q '^Simulated OSD board' "$work/log" 2>/dev/null && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/log"
    link=$(sed -n 's/.*(\(.*\)), shown as port.*/\1/p' "$work/log")
    [ -n "$link" ] || { echo "the demo did not start its board"; exit 1; }
    grep -q "COM[0-9]*=$link" "$ini" || { echo "port not mapped in $ini"; exit 1; }
    [[ $(readlink "$link") == /dev/pts/* ]] || { echo "$link is not the board's terminal"; exit 1; }
    [ -z "$(ls -A "$work/real-config")" ] || { echo "the user's preferences were touched"; exit 1; }
    kill -0 $pid 2>/dev/null || { echo "the configurator did not stay open"; exit 1; }
    kill -TERM -- -$pid
    wait $pid 2>/dev/null || true
    trap - EXIT
    [ ! -e "$link" ] || { echo "the board was not stopped"; exit 1; }
    ;;
udev)
    OUT=$2
    rule="$OUT/root/usr/lib/udev/rules.d/60-halvexcfg.rules"
    [ -f "$rule" ] || { echo "the package has no $rule"; exit 1; }
    need_rule_check
    check_rule "$rule"
    ;;
udev-broken)
    OUT=$2
    rule="$OUT/root/usr/lib/udev/rules.d/60-halvexcfg.rules"
    need_rule_check
    broken="$OUT/broken.rules"
    # A match written as an assignment, and a jump to a label that is not there.
    for edit in 's/ATTRS{idVendor}=="0403"/ATTRS{idVendor}="0403"/' \
        's/GOTO="halvexcfg_adapter"$/GOTO="halvexcfg_adaptor"/'; do
        sed "$edit" "$rule" >"$broken"
        ! cmp -s "$rule" "$broken" || { echo "the edit $edit changed nothing"; exit 1; }
        if check_rule "$broken"; then
            echo "the check passed a rule broken by $edit"
            exit 1
        fi
        echo "refused as it should be: the rule broken by $edit"
    done
    ;;
postinst)
    OUT=$2
    control="$OUT/control"
    rm -rf "$control"
    dpkg-deb -e "$(deb)" "$control"
    [ -x "$control/postinst" ] || { echo "no executable postinst in the package"; exit 1; }
    # A udevadm that records its calls and fails, as where udev does not run.
    mkdir -p "$control/bin"
    printf '#!/bin/sh\necho "$*" >>"%s"\nexit 1\n' "$control/calls" >"$control/bin/udevadm"
    chmod +x "$control/bin/udevadm"
    PATH="$control/bin:$PATH" "$control/postinst" configure ||
        { echo "postinst failed where udev does not run"; exit 1; }
    expected=$'control --reload\ntrigger --subsystem-match=tty --action=change'
    [ "$(cat "$control/calls")" = "$expected" ] ||
        { echo "postinst called udevadm with:"; cat "$control/calls"; exit 1; }
    # No udevadm at all (only the shell's built-ins on the path).
    mkdir -p "$control/empty"
    PATH="$control/empty" /bin/sh "$control/postinst" configure ||
        { echo "postinst failed without udevadm"; exit 1; }
    echo "postinst: $(tr '\n' ';' <"$control/calls")"
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
