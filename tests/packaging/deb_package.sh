#!/usr/bin/env bash
# Makes the Debian package with CPack and checks it: lintian finds no
# errors, its dependencies came from dpkg-shlibdeps (the libraries the
# programs link), it holds every file of the layout and nothing else, and
# (as root) it installs into a scratch root and purges without leftovers.
source "$(dirname "$0")/layout.sh"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
debs=("$work"/out/tessaly_*_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "no tessaly_VERSION_ARCH.deb made"; ls "$work/out"; exit 1; }
deb=${debs[0]}
version=$("$build/cli/tessaly-cli" --version | cut -d' ' -f3)
[[ $(basename "$deb") == "tessaly_${version}_$(dpkg --print-architecture).deb" ]] ||
  { echo "unexpected name $(basename "$deb")"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libqt6core6 libqt6widgets6 libqt6network6 libcurl4 libsqlite3-0 qt6-qpa-plugins; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || { echo "the package does not depend on $library"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
check_layout "$work/root"

out=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || { echo "$out"; exit 1; }
[[ -z $out ]] || printf 'lintian notes:\n%s\n' "$out"

if [[ $(id -u) -eq 0 ]]; then
  # A root of its own with an empty dpkg database: install, then purge.
  root=$work/scratch
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  # The scratch root has none of the dependencies: dpkg's notes on them are
  # expected and kept out of the log.
  dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; exit 1; }
  for file in "${layout[@]}"; do
    [[ -e $root/$file ]] || { echo "dpkg --root left out $file"; exit 1; }
  done
  dpkg --root="$root" --force-depends --force-script-chrootless -P tessaly >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; exit 1; }
  left=$(cd "$root" && find . -path ./var -prune -o ! -type d -print)
  [[ -z $left ]] || { echo "left after removal: $left"; exit 1; }
fi
echo "$(basename "$deb"): lintian clean, ${#layout[@]} files where the layout says"
