# Sourced by the packaging tests, whose arguments are the build folder and
# the desktop entry's name: the files the package installs, relative to the
# root, and a scratch folder $work removed at the end.
set -euo pipefail
build=$1
id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

layout=(
  usr/bin/tessaly
  usr/bin/tessaly-cli
  "usr/share/applications/$id.desktop"
  "usr/share/metainfo/$id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  usr/share/man/man1/tessaly.1.gz
  usr/share/man/man1/tessaly-cli.1.gz
  usr/share/bash-completion/completions/tessaly-cli
  usr/share/doc/tessaly/copyright
  usr/share/doc/tessaly/changelog.gz
)
icon_sizes=(16 22 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  layout+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done

# Fails unless the regular files under $1 are exactly those of the layout.
check_layout() {
  local found
  found=$(cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort)
  if ! diff <(printf '%s\n' "${layout[@]}" | sort) <(printf '%s\n' "$found"); then
    echo "the files installed differ from the layout (<: missing, >: not in the layout)"
    return 1
  fi
}
