#!/usr/bin/env bash
# Installs Orvanta with its Windows installer, silently as an administrator's script would, into a
# Wine prefix of this test's own, made afresh: the files, the Start menu entry that starts the
# program in the user's Orvanta folder, the entry in the installed programs' list; the installed
# program starts and tells its version. Then the uninstaller, started as that entry says, takes
# all of it away but the user's own files. Last the portable zip's program starts too.
#
#     [CMAKE=cmake] windowsinstaller_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$1 build=$2 version=$3
source "$(dirname "$0")/checks.sh"

prefix=$build/wineprefix-installer
export WINEPREFIX=$prefix WINEDEBUG=-all
scratch=$(mktemp -d)
# A server left by an earlier run of this test is ended before its prefix is made anew.
end_wine()
{
    [ ! -d "$prefix" ] || wineserver -k 2>/dev/null || true
}
trap 'end_wine; rm -rf "$scratch"' EXIT
end_wine
rm -rf "$prefix"

# Runs a program in the prefix, which it makes on first use; its output without the console's
# line ends.
wine_run()
{
    "$source_dir/tools/wine-run" --windows "$prefix" "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# Runs an installer or uninstaller and waits until every process it started has ended: the
# uninstaller runs on from a copy of itself.
wine_setup()
{
    local status=0
    wine_run "$@" || status=$?
    wineserver -w
    return "$status"
}

wine_setup "$build/Orvanta-$version-setup.exe" /S || fail "the installer failed"

IFS='|' read -r local_app_data profile app_data \
    < <(wine_run cmd /c 'echo %LOCALAPPDATA%^|%USERPROFILE%^|%APPDATA%')
install_dir="$local_app_data\\Programs\\Orvanta"
work_dir="$profile\\Orvanta"
unix_install_dir=$(winepath -u "$install_dir")
unix_work_dir=$(winepath -u "$work_dir")
# What the installer puts in place and the uninstaller takes away.
installed=("$unix_install_dir"/{orvanta.exe,uninstall.exe,LICENSE.txt}
    "$(winepath -u "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\Orvanta.lnk")")
for file in "${installed[@]}"; do expect_file "$file"; done
[ -d "$unix_work_dir" ] || fail "missing: the working folder $work_dir"
# A shortcut keeps its working folder as UTF-16 text.
strings -el "${installed[-1]}" | grep -qxF "$work_dir" \
    || fail "Orvanta.lnk does not start the program in $work_dir"

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta'
entry=$(wine_run reg query "$uninstall_key" 2>&1) || fail "no $uninstall_key: $entry"
# The value NAME of the uninstall entry, as reg prints it: "NAME    TYPE    DATA".
entry_value()
{
    sed -n "s/^ *$1 *REG_[A-Z]* *//p" <<<"$entry"
}
while read -r name expected; do
    expect_equal "$name of the uninstall entry" "$(entry_value "$name")" "$expected"
done <<TABLE
DisplayName Orvanta
DisplayVersion $version
Publisher The Orvanta developers
InstallLocation $install_dir
DisplayIcon $install_dir\\orvanta.exe,0
UninstallString "$install_dir\\uninstall.exe"
QuietUninstallString "$install_dir\\uninstall.exe" /S
NoModify 0x1
NoRepair 0x1
TABLE
installed_kib=$(du -sk --apparent-size "$unix_install_dir" | cut -f1)
estimated_kib=$(($(entry_value EstimatedSize)))
((estimated_kib * 10 >= installed_kib * 9 && estimated_kib <= installed_kib)) \
    || fail "EstimatedSize is $estimated_kib KiB, the files take $installed_kib KiB"

# The installed program alone: a fresh prefix holds none of the compiler's DLLs.
expect_equal "installed orvanta.exe --version" \
    "$(wine_run "$install_dir\\orvanta.exe" --version)" "orvanta $version"

# What the user made stays: the settings in the working folder, and a file in the program's
# folder of a program started there.
users_files=("$unix_work_dir/rs232c.ini" "$unix_install_dir/rs232c.ini")
printf 'settings' | tee "${users_files[@]}" >/dev/null
quiet_uninstall=$(entry_value QuietUninstallString)
uninstaller=${quiet_uninstall#\"}
uninstaller=${uninstaller%%\"*}
wine_setup "$uninstaller" /S || fail "the uninstaller failed"
for file in "${installed[@]}"; do
    [ ! -e "$file" ] || fail "left after the uninstall: $file"
done
wine_run reg query "$uninstall_key" >/dev/null 2>&1 && fail "left after the uninstall: $uninstall_key"
for file in "${users_files[@]}"; do expect_file "$file"; done

# The portable zip: one folder with the program and its licence; the program runs from it.
mkdir "$scratch/zip"
(cd "$scratch/zip" && "${CMAKE:-cmake}" -E tar xf "$build/Orvanta-$version-windows.zip")
expect_equal "the zip's files" "$(cd "$scratch/zip" && find . -type f | sort | tr '\n' ' ')" \
    "./Orvanta-$version/LICENSE.txt ./Orvanta-$version/orvanta.exe "
expect_equal "orvanta.exe --version from the zip" \
    "$(wine_run "$scratch/zip/Orvanta-$version/orvanta.exe" --version)" "orvanta $version"

finish
