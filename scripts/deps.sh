# Shared by ./test and ./run: installs the Debian packages given as arguments when any
# of them is missing (one apt-get update, then apt-get install -y).
halvex_need_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

HALVEX_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation qt6-translations-l10n help2man
    # SVG pictures for the character editor's picture import (Qt's image plugin)
    libqt6svg6
    # the icon's PNGs are rendered at build time; the Debian package and its checks
    librsvg2-bin file dpkg-dev desktop-file-utils appstream)
