#!/usr/bin/env bash
# Installation and Debian package test: installs the built game under /usr in a
# scratch DESTDIR and checks the files installed and each one with its own
# validator (desktop-file-validate, appstreamcli, mandoc, xmllint); then builds
# the .deb with CPack, checks its control fields and its files, runs the
# packaged binary and runs lintian on the package, whose errors fail the test
# and whose other remarks are printed.
#
# Usage: package_test.sh CMAKE CPACK BUILD VERSION
set -u
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
cmake=$1 cpack=$2 build=$3 version=$4 work=$(mktemp -d) failures=0 manifest=$3/install_manifest.txt
# Every install, cpack's too, rewrites the build folder's list of installed
# files; the one there before the test is put back.
cp "$manifest" "$work/manifest" 2>/dev/null
trap 'if [[ -f $work/manifest ]]; then cp "$work/manifest" "$manifest"; else rm -f "$manifest"; fi; rm -rf "$work"' EXIT
problem() { echo "FAIL: $1: expected $2" >&2; failures=$((failures + 1)); return 1; }
# check WHAT COMMAND...: COMMAND exits with 0; quiet: and prints nothing.
check() { out=$("${@:2}" 2>&1) || problem "$1" "status 0 from '${*:2}'; saw:"$'\n'"$out"; }
quiet() { check "$@" && [[ -n $out ]] && problem "$1" "no remarks from '${*:2}'; saw:"$'\n'"$out"; }
# same WHAT PATTERN VALUE: VALUE matches the pattern.
same() { [[ $3 == $2 ]] || problem "$1" "'$2'; saw '$3'"; }
# The files of an install under /usr, as find lists them, and nothing else.
files=$(printf '%s\n' ./usr/games/brelkor ./usr/share/applications/brelkor.desktop ./usr/share/doc/brelkor/{changelog.gz,copyright,recording.md} \
    ./usr/share/icons/hicolor/scalable/apps/brelkor.svg ./usr/share/man/man6/brelkor.6.gz ./usr/share/metainfo/org.example.brelkor.metainfo.xml)

root=$work/root share=$work/root/usr/share
DESTDIR=$root check install "$cmake" --install "$build" --prefix /usr
same "installed files" "$files" "$(cd "$root" && find . -type f | LC_ALL=C sort)"
quiet desktop-entry desktop-file-validate "$share/applications/brelkor.desktop"
check metainfo appstreamcli validate --no-net "$share/metainfo/org.example.brelkor.metainfo.xml"
check metainfo-tree appstreamcli validate-tree --no-net "$root"
quiet manual mandoc -Tlint "$share/man/man6/brelkor.6.gz"
quiet icon xmllint --noout "$share/icons/hicolor/scalable/apps/brelkor.svg"
same release "$version" "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$share/metainfo/org.example.brelkor.metainfo.xml" | head -n 1)"
same changelog "brelkor ($version) *" "$(zcat "$share/doc/brelkor/changelog.gz" | head -n 1)"
# The desktop entry starts the installed binary and names the installed icon.
exec_line=$(sed -n 's/^Exec=//p' "$share/applications/brelkor.desktop")
[[ -x $root/usr/games/${exec_line%% *} ]] || problem desktop-entry "Exec= to name the installed usr/games/brelkor; saw '$exec_line'"
same desktop-entry brelkor "$(sed -n 's/^Icon=//p' "$share/applications/brelkor.desktop")"
# The icon's ship stands nose up: its first point, the nose, lies above the other three.
points=$(sed -n 's/.*<polygon .*points="\([^"]*\)".*/\1/p' "$share/icons/hicolor/scalable/apps/brelkor.svg")
awk -v p="$points" 'BEGIN { if (split(p, xy, /[ ,]/) != 8) exit 1; for (i = 4; i <= 8; i += 2) if (xy[i] + 0 <= xy[2] + 0) exit 1 }' ||
    problem icon "the ship's four points with the nose (first) uppermost; saw '$points'"

# The package: its control fields, its files, its binary, and lintian, which
# leaves some of its caches behind in TMPDIR.
deb=$work/pack/brelkor_${version}_$(dpkg --print-architecture).deb
check cpack "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/pack"
[[ -f $deb ]] || { problem cpack "$deb; saw: $(ls "$work/pack")"; exit 1; }
for field in "Package brelkor" "Version $version" "Section games" "Depends @(|*, )libsdl2-2.0-0@(|[ ,]*)"; do
    same control "${field#* }" "$(dpkg-deb -f "$deb" "${field%% *}")"
done
dpkg-deb -x "$deb" "$work/extract"
same "packaged files" "$files" "$(cd "$work/extract" && find . -type f | LC_ALL=C sort)"
same packaged-binary "brelkor $version" "$("$work/extract/usr/games/brelkor" --version 2>&1)"
TMPDIR=$work check lintian lintian $( (($(id -u) == 0)) && echo --allow-root) --fail-on error --display-info "$deb"
echo "lintian:"$'\n'"$out"

((failures == 0)) || { echo "$failures checks failed" >&2 && exit 1; }
echo "ok: the install and the package $(basename "$deb")"
