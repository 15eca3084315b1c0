#!/usr/bin/env bash
# Installs the build into a scratch root as the package does (prefix /usr)
# and checks that every file is where the layout says, that the installed
# programs run, that the icons have their sizes, and that the desktop entry
# and the AppStream data pass their validators and agree with the program.
source "$(dirname "$0")/layout.sh"
root=$work

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
check_layout "$root"

for program in tessaly tessaly-cli; do
  [[ $(stat -c %a "$root/usr/bin/$program") == 755 ]] || { echo "$program is not 0755"; exit 1; }
done
bad=$(find "$root" -mindepth 1 -type d ! -perm 755; find "$root/usr/share" -type f ! -perm 644)
[[ -z $bad ]] || { echo "wrong permissions: $bad"; exit 1; }
# The installed programs run from their place (no build-tree library paths).
[[ $("$root/usr/bin/tessaly-cli" --version) == "Tessaly 2000 "* ]]
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tessaly" --version | grep -q '^Tessaly 2000 '

for size in "${icon_sizes[@]}"; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
    { echo "the ${size}x${size} icon is not a PNG of that size"; exit 1; }
done

desktop=$root/usr/share/applications/$id.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out"; exit 1; }
[[ -z $out ]] || { echo "desktop-file-validate: $out"; exit 1; }
for line in "Exec=tessaly %U" "Icon=$id" "StartupWMClass=$id" "GenericName=Bookmark Manager" \
  "Categories=Network;Qt;" "Name=Add New URL" "Exec=tessaly --add-new-url"; do
  grep -qxF "$line" "$desktop" || { echo "the desktop entry lacks \"$line\""; exit 1; }
done

metainfo=$root/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net --explain "$metainfo" ||
  { echo "appstreamcli found errors in $metainfo"; exit 1; }
version=$("$root/usr/bin/tessaly-cli" --version | cut -d' ' -f3)
grep -q "<release version=\"$version\"" "$metainfo" || { echo "no release $version in $metainfo"; exit 1; }
echo "installed as laid out: ${#layout[@]} files"
