#!/usr/bin/env bash
# Installs every Debian package Tessaly 2000 needs to build, run and test.
# Idempotent: packages already present are skipped, and apt-get update runs at most once.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  qt6-base-dev libqt6svg6 libsqlite3-dev libcurl4-openssl-dev liblz4-dev
  # the command line's PDF reports: text shaped and ordered in every script,
  # with fonts that cover them
  libpango1.0-dev libcairo2-dev fonts-noto-core fonts-noto-cjk
  # international host names in their ASCII form (the library curl itself uses)
  libidn2-dev
  # XBEL bookmark files (the sync with the browsers' shared file)
  libexpat1-dev
  libxcb1-dev libxcb-keysyms1-dev libx11-dev
  # the password of the sync server kept in the desktop's secret store
  libsecret-1-dev
  # tests
  libgtest-dev libgmock-dev libcpp-httplib-dev libssl-dev
  # a real WebDAV server (mod_dav, Basic authentication) for the sync tests
  apache2 apache2-utils
  xvfb xauth xdotool xclip x11-utils trayer openbox poppler-utils
  # an HTML parser that checks exported pages hold no script of a bookmark's
  python3
  # a real browser that imports the bookmark file we export
  firefox-esr
  # screenshots and readable text in them
  fonts-dejavu-core imagemagick
  # locale data for date pictures and Unicode case folding
  locales
  # the icon's pictures at each size, drawn at build time
  librsvg2-bin
  # the Debian package (cpack -G DEB finds its dependencies with dpkg-shlibdeps)
  dpkg-dev file
  # the packaging tests: validators of the desktop entry, the AppStream data,
  # the package and the manual pages
  desktop-file-utils appstream lintian man-db
)

missing=()
for p in "${packages[@]}"; do
  [[ $p == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
