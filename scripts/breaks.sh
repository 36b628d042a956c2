#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the tests catch faults: applies each deliberate break from
# tests/breaks/breaks.txt to a scratch copy of the tree, builds it, runs the
# tests the break names, and prints "caught" or "missed". The tree itself is
# never touched: the copy and its build live under build/breaks (or
# $BREAKS_DIR), and one build directory serves every break, so each break
# costs only the rebuild of what it changes.
#
# A break marked "system: windows" is built by the Windows cross build of the
# copy (the windows preset's toolchain, with the simulated safe and board and
# the firmware of the copy's Linux build) in build/breaks/build-windows, and its
# tests run there under Wine (ctest, with the build's own Wine fixtures).
# The unbroken run covers each system that a chosen break is for.
#
#   scripts/breaks.sh                 every break
#   scripts/breaks.sh REGEX           the breaks whose names match REGEX
#   scripts/breaks.sh -n [REGEX]      without the unbroken run first
#   scripts/breaks.sh -l              list the breaks
#
# A break counts as caught only when the test that failed passes when run
# again on the unbroken copy; one that fails there too is reported unstable.
# Exit code 0 only when the unbroken tree passes every test and every
# break is caught. A break that no longer applies, does not build or names no
# test counts as a failure too: the table needs mending then.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
table=${BREAKS_TABLE:-$root/tests/breaks/breaks.txt}
work=${BREAKS_DIR:-$root/build/breaks}
src=$work/src
bld=$work/build
wbld=$work/build-windows
log=$work/log
baseline=1
list=0
while getopts "nl" opt; do
    case $opt in
    n) baseline=0 ;;
    l) list=1 ;;
    *) sed -n '2,26p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
only=${1:-.}

# The table: blocks of "name:", "file:", one or more "edit:" (a Perl
# substitution applied to the whole file), "tests:" (a ctest -R regex) and,
# for a break of the Windows build, "system: windows" (else "linux"),
# separated by blank lines; "#" starts a comment line.
names=() files=() edits=() tests=() systems=()
flush() {
    if [ -n "$name" ]; then
        if [[ $name =~ $only ]]; then
            names+=("$name") files+=("$file") edits+=("$edit") tests+=("$regex") systems+=("$system")
        fi
    fi
    name="" file="" edit="" regex="" system=linux
}
name="" file="" edit="" regex="" system=linux
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '#'*) ;;
    '') flush ;;
    name:*) name=${line#name:}; name=${name# } ;;
    file:*) file=${line#file:}; file=${file# } ;;
    edit:*) e=${line#edit:}; edit+="${e# }"$'\n' ;;
    tests:*) regex=${line#tests:}; regex=${regex# } ;;
    system:*)
        system=${line#system:}; system=${system# }
        case $system in
        linux | windows) ;;
        *) echo "breaks.sh: no system '$system' (linux or windows) in $table" >&2; exit 2 ;;
        esac
        ;;
    *) echo "breaks.sh: cannot read this line of $table: $line" >&2; exit 2 ;;
    esac
done <"$table"
flush

if [ "$list" = 1 ]; then
    for i in "${!names[@]}"; do
        printf '%-34s %-34s %-8s %s\n' "${names[$i]}" "${files[$i]}" "${systems[$i]}" "${tests[$i]}"
    done
    exit 0
fi
[ "${#names[@]}" -gt 0 ] || { echo "breaks.sh: no break matches '$only'" >&2; exit 2; }

mkdir -p "$src" "$bld"
: >"$log"

# The scratch copy follows the tree's files as they are now (committed or
# not). Only files whose content differs are copied, so the build directory
# rebuilds only what changed since the last run.
sync_tree() {
    local f
    (cd "$root" && git ls-files -z --cached --others --exclude-standard) |
        while IFS= read -r -d '' f; do
            [ -f "$root/$f" ] || continue
            if ! cmp -s "$root/$f" "$src/$f"; then
                mkdir -p "$(dirname "$src/$f")"
                cp "$root/$f" "$src/$f"
            fi
        done
    # Files gone from the tree go from the copy too.
    comm -13 <(cd "$root" && git ls-files --cached --others --exclude-standard | sort) \
             <(cd "$src" && find . -type f | sed 's|^\./||' | sort) |
        while IFS= read -r f; do rm -f "$src/$f"; done
}

# The build directory of a system.
dir_of() { if [ "$1" = windows ]; then echo "$wbld"; else echo "$bld"; fi; }

# Configures once; then builds what the tests named by $1 run (their
# programs, which bring what they start: the simulated safe, the stand-in
# uploader, the firmware), or everything when no regex is given. $2 is the
# system (linux by default). The Windows build takes the simulated safe and
# the firmware from the Linux build of the copy, which is built first.
build() {
    local regex=${1:-} system=${2:-linux}
    if [ ! -f "$bld/CMakeCache.txt" ]; then
        nice cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1 || return 1
    fi
    # Configured once a run, so that the build follows the windows preset's
    # variables as they are now: the Linux build's simulated safe and board
    # (the COM port and whole-product tests) and its firmware.
    # The tree's own copy of avrdude's source (scripts/setup.sh fetches it),
    # for avrdude.exe, the installer and the whole-product test.
    if [ "$system" = windows ] && [ "${windows_configured:-}" != 1 ]; then
        local avrdude=()
        for f in "$root"/build/avrdude-source/*.orig.tar.xz; do
            [ -f "$f" ] && avrdude=(-DVANDREL_AVRDUDE_SOURCE="$f")
        done
        nice cmake -S "$src" -B "$wbld" -G Ninja --toolchain "$src/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DVANDREL_WERROR=ON -DVANDREL_SIMSAFE="$bld/simsafe/simsafe" \
            -DVANDREL_SIMBOARD="$bld/simboard/simboard" -DVANDREL_FIRMWARE_DIR="$bld/firmware" "${avrdude[@]}" \
            >>"$log" 2>&1 || return 1
        windows_configured=1
    fi
    local dir targets=()
    dir=$(dir_of "$system")
    if [ -n "$regex" ] && [ "$system" = windows ]; then
        # A Windows test runs through Wine: its programs are the .exe files
        # of the build on its command line.
        mapfile -t targets < <(ctest --test-dir "$dir" -N -V -R "$regex" 2>/dev/null |
            sed -n 's|^[0-9]*: Test command: ||p' | tr ' ' '\n' | grep "^$dir/.*\.exe$" |
            xargs -r -n1 basename | sed 's/\.exe$//' | sort -u)
    elif [ -n "$regex" ]; then
        mapfile -t targets < <(ctest --test-dir "$dir" -N -V -R "$regex" 2>/dev/null |
            sed -n 's|^[0-9]*: Test command: \([^ ]*\).*|\1|p' | grep "^$dir/" | xargs -r -n1 basename | sort -u)
    fi
    if [ "${#targets[@]}" -gt 0 ]; then
        nice cmake --build "$dir" --target "${targets[@]}" >>"$log" 2>&1
    else
        nice cmake --build "$dir" >>"$log" 2>&1
    fi
}

# How many tests a regex names, and whether they pass ($2: the system). The
# Windows tests run to the end: stopping at a failure would skip the fixture
# that stops Wine's server and X server, and the next run could not start its
# own.
count_tests() { ctest --test-dir "$(dir_of "${2:-linux}")" -N -R "$1" 2>/dev/null | sed -n 's/^Total Tests: //p'; }
run_tests() {
    local stop=(--stop-on-failure)
    [ "${2:-linux}" = windows ] && stop=()
    QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$(dir_of "${2:-linux}")" -R "$1" "${stop[@]}" \
        --timeout 300 >>"$log" 2>&1
}
rerun_failed() {
    QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$(dir_of "$1")" --rerun-failed --timeout 300 >>"$log" 2>&1
}

# The systems the chosen breaks are for; the Linux build is always made,
# since the Windows build takes its simulated safe and firmware.
chosen=()
for s in linux windows; do
    for i in "${!systems[@]}"; do
        if [ "${systems[$i]}" = "$s" ]; then chosen+=("$s"); break; fi
    done
done

builds=(linux)
[[ " ${chosen[*]} " == *" windows "* ]] && builds+=(windows)

sync_tree
for s in "${builds[@]}"; do
    echo "== building the scratch copy in $(dir_of "$s")"
    if ! build "" "$s"; then
        echo "the unbroken tree does not build ($s); see $log"
        exit 1
    fi
done

# The unbroken tree must pass every test first, or a failure would prove
# nothing.
if [ "$baseline" = 1 ]; then
    for s in "${chosen[@]}"; do
        start=$SECONDS
        # A test with tight timing may fail under load: one that passes when run
        # again on its own is not held against the tree.
        if QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$(dir_of "$s")" --timeout 300 >>"$log" 2>&1 ||
            rerun_failed "$s"; then
            echo "baseline ($s): all $(count_tests . "$s") tests pass unbroken ($((SECONDS - start)) s)"
        else
            echo "baseline ($s): FAILED: the unbroken tree fails tests; see $log"
            exit 1
        fi
    done
fi

caught=0 missed=0 invalid=0 unstable=0
for i in "${!names[@]}"; do
    n=${names[$i]} f=${files[$i]} r=${tests[$i]} s=${systems[$i]}
    echo "== break $n ($s)" >>"$log"
    start=$SECONDS
    verdict=""
    if [ ! -f "$src/$f" ]; then
        verdict="INVALID (no file $f)"
    else
        cp "$src/$f" "$work/original"
        while IFS= read -r e; do
            [ -n "$e" ] && perl -0pi -e "$e" "$src/$f"
        done <<<"${edits[$i]}"
        if cmp -s "$src/$f" "$work/original"; then
            verdict="INVALID (the edit no longer applies to $f)"
        elif ! build "$r" "$s"; then
            verdict="INVALID (does not build; see $log)"
        elif [ "$(count_tests "$r" "$s")" = "0" ] || [ -z "$(count_tests "$r" "$s")" ]; then
            verdict="INVALID (no test matches $r)"
        elif run_tests "$r" "$s"; then
            verdict="missed"
        else
            verdict="failed"
        fi
        # A fresh copy, so the next build sees the file as changed.
        cp "$work/original" "$src/$f"
        # A failure proves the break only when the test that failed passes on
        # the unbroken copy: one that fails now and then would count any
        # break as caught.
        if [ "$verdict" = failed ]; then
            echo "== the failed test again, unbroken" >>"$log"
            if ! build "$r" "$s"; then
                verdict="INVALID (the unbroken copy does not build; see $log)"
            elif rerun_failed "$s"; then
                verdict="caught"
            else
                verdict="unstable (the test fails on the unbroken copy too; see $log)"
            fi
        fi
    fi
    case $verdict in
    caught) caught=$((caught + 1)) ;;
    missed) missed=$((missed + 1)) ;;
    unstable*) unstable=$((unstable + 1)) ;;
    *) invalid=$((invalid + 1)) ;;
    esac
    printf '%-8s %-34s %-34s %4d s  %s\n' "${verdict%% *}" "$n" "$f" $((SECONDS - start)) \
        "$([ "$verdict" = caught ] || [ "$verdict" = missed ] || echo "${verdict#* }")"
done
# Leave the copy as the tree is, so that its builds are ready for the next run.
for s in "${builds[@]}"; do build "" "$s" >/dev/null 2>&1 || true; done

total=${#names[@]}
echo "== $caught of $total breaks caught, $missed missed, $unstable unstable, $invalid invalid (log: $log)"
[ "$missed" = 0 ] && [ "$invalid" = 0 ] && [ "$unstable" = 0 ]
