#!/usr/bin/env bash
# Builds the Debian package in a scratch folder and checks its control fields, that the desktop
# entry in it names the programs where the package puts them, and Debian's copyright file,
# changelog and manual pages.
#
#     [CPACK=cpack] debpackage_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
source "$(dirname "$0")/checks.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    exit 1
}
packages=("$scratch"/orvanta_*.deb)
if [ ${#packages[@]} -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    cat "$scratch/cpack.log"
    echo "FAIL: expected one orvanta_*.deb, found: ${packages[*]}" >&2
    exit 1
fi
deb=${packages[0]}

expect_equal Package "$(dpkg-deb -f "$deb" Package)" orvanta
expect_equal Maintainer "$(dpkg-deb -f "$deb" Maintainer)" \
    "The Orvanta developers <orvanta@users.noreply.github.com>"
expect_equal Architecture "$(dpkg-deb -f "$deb" Architecture)" "$(dpkg --print-architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for package in libqt6widgets6 fonts-ipafont-mincho fonts-ipafont-gothic; do
    grep -qx "$package" <<<"$depended" || fail "Depends lacks $package: $depends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for program in orvanta orvanta-sim; do
    expect_executable "$root/usr/bin/$program"
done
check_desktop_paths "$root" /usr "$id"

# The copyright file in Debian's machine-readable format carries the MIT terms in full, and the
# changelog names the package's version.
docs=$root/usr/share/doc/orvanta
copyright=$docs/copyright
expect_equal "first line of the copyright file" "$(head -n1 "$copyright")" \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
expect_equal "licence in the copyright file" "$(sed -n 's/^License: //p' "$copyright")" MIT
expect_equal "copyright holder" "$(sed -n 's/^Copyright: //p' "$copyright")" \
    "2026 The Orvanta developers"
grep -qx ' Permission is hereby granted, free of charge, to any person obtaining a copy' \
    "$copyright" || fail "the copyright file lacks the MIT permission notice"
expect_equal "paragraphs of the MIT terms" "$(grep -cx ' \.' "$copyright")" 2
expect_equal "newest changelog entry" "$(zcat "$docs/changelog.Debian.gz" | head -n1 | cut -d' ' -f1-2)" \
    "orvanta ($(dpkg-deb -f "$deb" Version))"
for program in orvanta orvanta-sim; do
    check_manual_page "$root/usr" "$program"
done

finish
