# shellcheck shell=bash
# Checks shared by the install tree test and the package test; sourced, not run. Each check
# reports what it found and counts the failure, so that one run shows every fault.

failures=0

fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

expect_file()
{
    [ -f "$1" ] || fail "missing: $1"
}

expect_executable()
{
    [[ -f $1 && -x $1 ]] || fail "missing or not executable: $1"
}

expect_equal()
{
    [ "$2" = "$3" ] || fail "$1 is '$2', expected '$3'"
}

# The value of KEY in the desktop entry's main group.
desktop_key()
{
    sed -n "/^\[Desktop Entry\]/,/^\[/s/^$2=//p" "$1"
}

# A desktop entry installed under ROOT (the file system root of the installed tree) for PREFIX
# starts the launcher by its absolute path, and the launcher starts the program beside it.
check_desktop_paths()
{
    local root=$1 prefix=$2 id=$3
    local entry=$root$prefix/share/applications/$id.desktop
    local launcher=$prefix/libexec/orvanta/orvanta-desktop
    expect_file "$entry"
    expect_executable "$root$launcher"
    expect_equal "Exec of $id.desktop" "$(desktop_key "$entry" Exec)" "\"$launcher\""
    expect_equal "Icon of $id.desktop" "$(desktop_key "$entry" Icon)" "$id"
    expect_equal "program started by the launcher" \
        "$(sed -n 's/^exec //p' "$root$launcher")" "\"$prefix/bin/orvanta\""
}

finish()
{
    if ((failures)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
}
