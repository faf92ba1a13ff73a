#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, as a user installing it by hand would, and
# checks what a desktop takes from it: programs and their manual pages, desktop entry and
# launcher, icons, AppStream description, README. Then starts the program the way the desktop entry does.
#
#     [CMAKE=cmake] installtree_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 id=$2 version=$3
source "$(dirname "$0")/checks.sh"

scratch=$(mktemp -d)
started=
cleanup()
{
    if [ -n "$started" ]; then
        kill "$started" 2>/dev/null || true
        wait "$started" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# A blank in the prefix: the desktop entry and the launcher must quote the paths they name.
prefix="$scratch/install root"
"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log"
    exit 1
}

for program in bin/orvanta bin/orvanta-sim; do
    expect_executable "$prefix/$program"
done
for document in README.md docs/screenshot.png tools/orvanta-sim/README.md; do
    expect_file "$prefix/share/doc/orvanta/$document"
done

for program in orvanta orvanta-sim; do
    check_manual_page "$prefix" "$program"
done

icons=$prefix/share/icons/hicolor
while read -r size extension kind; do
    icon=$icons/$size/apps/$id.$extension
    expect_file "$icon"
    [ ! -f "$icon" ] || [[ "$(file -b "$icon")" == *"$kind"* ]] \
        || fail "$icon is $(file -b "$icon"), expected $kind"
done <<'TABLE'
16x16 png PNG image data, 16 x 16
32x32 png PNG image data, 32 x 32
scalable svg SVG Scalable Vector Graphics image
TABLE

entry=$prefix/share/applications/$id.desktop
check_desktop_paths "" "$prefix" "$id"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"

metainfo=$prefix/share/metainfo/$id.metainfo.xml
expect_file "$metainfo"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" || {
    cat "$scratch/appstream.log"
    fail "appstreamcli rejects $metainfo"
}
expect_equal "metainfo id" "$(sed -n 's|^ *<id>\(.*\)</id>|\1|p' "$metainfo")" "$id"
expect_equal "metainfo launchable" \
    "$(sed -n 's|^ *<launchable type="desktop-id">\(.*\)</launchable>|\1|p' "$metainfo")" \
    "$id.desktop"
expect_equal "licence in the metainfo" \
    "$(sed -n 's|^ *<project_license>\(.*\)</project_license>|\1|p' "$metainfo")" MIT
expect_equal "newest release in the metainfo" \
    "$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)" "$version"

# The launcher makes ~/Orvanta and runs the installed program there. The program waits in its
# port settings dialog, so it is seen running, then stopped.
home=$scratch/home
mkdir "$home"
HOME=$home "$prefix/libexec/orvanta/orvanta-desktop" >"$scratch/program.log" 2>&1 &
started=$!
running=
for _ in $(seq 200); do
    kill -0 "$started" 2>/dev/null || break
    if [ "$(readlink "/proc/$started/exe")" = "$prefix/bin/orvanta" ]; then
        running=yes
        break
    fi
    sleep 0.1
done
if [ -n "$running" ]; then
    expect_equal "working directory of the program" "$(readlink "/proc/$started/cwd")" \
        "$home/Orvanta"
else
    cat "$scratch/program.log" >&2
    fail "the launcher did not start $prefix/bin/orvanta"
fi

finish
