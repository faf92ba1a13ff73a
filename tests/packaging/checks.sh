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

# The manual page of PROGRAM installed under PREFIX renders without a warning and describes every
# option that PROGRAM --help lists.
check_manual_page()
{
    local prefix=$1 program=$2
    local page=$prefix/share/man/man1/$program.1.gz
    expect_file "$page"
    [ -f "$page" ] || return 0
    local warnings text option
    warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)
    for option in $("$prefix/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "$option" <<<"$text" || fail "$page does not describe $option"
    done
}

finish()
{
    if ((failures)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
}
