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

cmake=$1 cpack=$2 build=$3 version=$4
work=$(mktemp -d)
# Every install, cpack's too, rewrites the build folder's list of installed
# files; the one there before the test is put back.
manifest=$build/install_manifest.txt
[[ -f $manifest ]] && cp "$manifest" "$work/manifest"
restore() {
    if [[ -f $work/manifest ]]; then cp "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT
failures=0

problem() {
    echo "FAIL: $1: expected $2" >&2
    failures=$((failures + 1))
}

# The files of an install under /usr, as find lists them.
expected_files="./usr/games/brelkor
./usr/share/applications/brelkor.desktop
./usr/share/doc/brelkor/changelog.gz
./usr/share/doc/brelkor/copyright
./usr/share/doc/brelkor/recording.md
./usr/share/icons/hicolor/scalable/apps/brelkor.svg
./usr/share/man/man6/brelkor.6.gz
./usr/share/metainfo/org.example.brelkor.metainfo.xml"

# files WHAT ROOT: ROOT holds the expected files and nothing else.
files() {
    local seen
    seen=$(cd "$2" && find . -type f | LC_ALL=C sort)
    [[ $seen == "$expected_files" ]] ||
        problem "$1" "exactly these files:"$'\n'"$expected_files"$'\n'"saw:"$'\n'"$seen"
}

# check WHAT COMMAND...: COMMAND exits with 0 and prints nothing.
check() {
    local what=$1 out
    shift
    out=$("$@" 2>&1)
    local status=$?
    if ((status != 0)) || [[ -n $out ]]; then
        problem "$what" "status 0 and no remarks from '$*'; saw status $status:"$'\n'"$out"
    fi
}

root=$work/root
if ! DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    problem install "cmake --install to succeed; saw:"$'\n'"$(cat "$work/install.log")"
else
    files install "$root"
    share=$root/usr/share
    check desktop-entry desktop-file-validate "$share/applications/brelkor.desktop"
    metainfo=$share/metainfo/org.example.brelkor.metainfo.xml
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) ||
        problem metainfo "appstreamcli validate --no-net to pass; saw:"$'\n'"$out"
    out=$(appstreamcli validate-tree --no-net "$root" 2>&1) ||
        problem metainfo-tree "appstreamcli validate-tree --no-net to pass; saw:"$'\n'"$out"
    release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [[ $release == "$version" ]] || problem metainfo "the latest release $version; saw '$release'"
    latest=$(zcat "$root/usr/share/doc/brelkor/changelog.gz" | head -n 1)
    [[ $latest == "brelkor ($version) "* ]] ||
        problem changelog "a first entry for brelkor ($version); saw '$latest'"
    check manual mandoc -Tlint "$share/man/man6/brelkor.6.gz"
    icon=$share/icons/hicolor/scalable/apps/brelkor.svg
    check icon xmllint --noout "$icon"
    # The ship stands nose up: its first point, the nose, lies above the others.
    points=$(sed -n 's/.*<polygon .*points="\([^"]*\)".*/\1/p' "$icon")
    awk -v p="$points" 'BEGIN {
        n = split(p, xy, /[ ,]/); if (n != 8) exit 1
        for (i = 4; i <= n; i += 2) if (xy[i] + 0 <= xy[2] + 0) exit 1 }' ||
        problem icon "the ship's four points with the nose (first) uppermost; saw '$points'"
    # The desktop entry starts the installed binary and names the installed icon.
    entry=$share/applications/brelkor.desktop
    exec_line=$(sed -n 's/^Exec=//p' "$entry") icon_line=$(sed -n 's/^Icon=//p' "$entry")
    [[ -x $root/usr/games/${exec_line%% *} ]] ||
        problem desktop-entry "Exec= to name the installed usr/games/brelkor; saw '$exec_line'"
    [[ $icon_line == "$(basename "$icon" .svg)" ]] ||
        problem desktop-entry "Icon=brelkor, the installed icon's name; saw '$icon_line'"
fi

deb=$work/pack/brelkor_${version}_$(dpkg --print-architecture).deb
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/pack" >"$work/cpack.log" 2>&1; then
    problem cpack "cpack -G DEB to succeed; saw:"$'\n'"$(cat "$work/cpack.log")"
elif [[ ! -f $deb ]]; then
    problem cpack "$(basename "$deb"); saw: $(cd "$work/pack" && ls -d ./*.deb 2>&1)"
else
    for field in "Package brelkor" "Version $version" "Section games"; do
        seen=$(dpkg-deb -f "$deb" "${field%% *}")
        [[ $seen == "${field#* }" ]] || problem control "${field%% *}: ${field#* }; saw '$seen'"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    [[ $depends =~ (^|, )libsdl2-2\.0-0( |,|$) ]] ||
        problem control "Depends to name libsdl2-2.0-0; saw '$depends'"
    dpkg-deb -x "$deb" "$work/extract"
    files package "$work/extract"
    seen=$("$work/extract/usr/games/brelkor" --version 2>&1)
    [[ $seen == "brelkor $version" ]] || problem packaged-binary "--version to print 'brelkor $version'; saw '$seen'"

    start=$(date +%s%N)
    allow_root=()
    (($(id -u) == 0)) && allow_root=(--allow-root)
    # lintian leaves some of its caches behind in TMPDIR.
    mkdir "$work/tmp"
    out=$(TMPDIR=$work/tmp lintian "${allow_root[@]}" --fail-on error --display-info "$deb" 2>&1)
    status=$?
    echo "lintian, $((($(date +%s%N) - start) / 1000000)) ms:"
    [[ -n $out ]] && echo "$out"
    ((status == 0)) || problem lintian "no lintian errors; saw status $status:"$'\n'"$out"
fi

if ((failures > 0)); then
    echo "$failures checks failed" >&2
    exit 1
fi
echo "ok: the install and the package $(basename "$deb")"
