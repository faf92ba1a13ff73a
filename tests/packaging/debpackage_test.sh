#!/usr/bin/env bash
# Builds the Debian package in a scratch folder and checks its control fields and that the
# desktop entry in it names the programs where the package puts them.
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

finish
