#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the tests catch faults: applies each deliberate break from
# tests/breaks/breaks.txt to a scratch copy of the tree, builds it, runs the
# tests the break names, and prints "caught" or "missed". The tree itself is
# never touched: the copy and its build live under build/breaks (or
# $BREAKS_DIR), and one build directory serves every break, so each break
# costs only the rebuild of what it changes.
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
log=$work/log
baseline=1
list=0
while getopts "nl" opt; do
    case $opt in
    n) baseline=0 ;;
    l) list=1 ;;
    *) sed -n '2,20p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
only=${1:-.}

# The table: blocks of "name:", "file:", one or more "edit:" (a Perl
# substitution applied to the whole file) and "tests:" (a ctest -R regex),
# separated by blank lines; "#" starts a comment line. "system: windows"
# marks a break of the Windows side, caught by the Windows suite: this
# script builds the Linux tree only, so it lists those and leaves them to be
# checked by hand (apply, build the windows preset, run the tests, revert).
names=() files=() edits=() tests=() windows=()
flush() {
    if [ -n "$name" ] && [[ $name =~ $only ]]; then
        if [ "$system" = windows ]; then
            windows+=("$name")
        else
            names+=("$name") files+=("$file") edits+=("$edit") tests+=("$regex")
        fi
    fi
    name="" file="" edit="" regex="" system=""
}
name="" file="" edit="" regex="" system=""
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '#'*) ;;
    '') flush ;;
    name:*) name=${line#name:}; name=${name# } ;;
    file:*) file=${line#file:}; file=${file# } ;;
    edit:*) e=${line#edit:}; edit+="${e# }"$'\n' ;;
    tests:*) regex=${line#tests:}; regex=${regex# } ;;
    system:*) system=${line#system:}; system=${system# } ;;
    *) echo "breaks.sh: cannot read this line of $table: $line" >&2; exit 2 ;;
    esac
done <"$table"
flush

if [ "$list" = 1 ]; then
    for i in "${!names[@]}"; do printf '%-34s %-34s %s\n' "${names[$i]}" "${files[$i]}" "${tests[$i]}"; done
    for n in "${windows[@]}"; do printf '%-34s (Windows side: by hand)\n' "$n"; done
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

# Configures once; then builds what the tests named by $1 run (their
# programs, which bring what they start: the simulated safe, the stand-in
# uploader, the firmware), or everything when no regex is given.
build() {
    if [ ! -f "$bld/CMakeCache.txt" ]; then
        nice cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1 || return 1
    fi
    local targets=()
    if [ -n "${1:-}" ]; then
        mapfile -t targets < <(ctest --test-dir "$bld" -N -V -R "$1" 2>/dev/null |
            sed -n 's|^[0-9]*: Test command: \([^ ]*\).*|\1|p' | grep "^$bld/" | xargs -r -n1 basename | sort -u)
    fi
    if [ "${#targets[@]}" -gt 0 ]; then
        nice cmake --build "$bld" --target "${targets[@]}" >>"$log" 2>&1
    else
        nice cmake --build "$bld" >>"$log" 2>&1
    fi
}

# How many tests a regex names, and whether they pass.
count_tests() { ctest --test-dir "$bld" -N -R "$1" 2>/dev/null | sed -n 's/^Total Tests: //p'; }
run_tests() {
    QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$bld" -R "$1" --stop-on-failure \
        --timeout 300 >>"$log" 2>&1
}

sync_tree
echo "== building the scratch copy in $bld"
if ! build; then
    echo "the unbroken tree does not build; see $log"
    exit 1
fi

# The unbroken tree must pass every test first, or a failure would prove
# nothing.
if [ "$baseline" = 1 ]; then
    start=$SECONDS
    # A test with tight timing may fail under load: one that passes when run
    # again on its own is not held against the tree.
    if QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$bld" --timeout 300 >>"$log" 2>&1 ||
        QT_QPA_PLATFORM=offscreen ctest --test-dir "$bld" --rerun-failed --timeout 300 >>"$log" 2>&1; then
        echo "baseline: all $(count_tests .) tests pass unbroken ($((SECONDS - start)) s)"
    else
        echo "baseline: FAILED: the unbroken tree fails tests; see $log"
        exit 1
    fi
fi

caught=0 missed=0 invalid=0 unstable=0
for i in "${!names[@]}"; do
    n=${names[$i]} f=${files[$i]} r=${tests[$i]}
    echo "== break $n" >>"$log"
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
        elif ! build "$r"; then
            verdict="INVALID (does not build; see $log)"
        elif [ "$(count_tests "$r")" = "0" ] || [ -z "$(count_tests "$r")" ]; then
            verdict="INVALID (no test matches $r)"
        elif run_tests "$r"; then
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
            if ! build "$r"; then
                verdict="INVALID (the unbroken copy does not build; see $log)"
            elif QT_QPA_PLATFORM=offscreen nice ctest --test-dir "$bld" --rerun-failed \
                --timeout 300 >>"$log" 2>&1; then
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
# Leave the copy as the tree is, so that its build is ready for the next run.
build >/dev/null 2>&1 || true

total=${#names[@]}
echo "== $caught of $total breaks caught, $missed missed, $unstable unstable, $invalid invalid (log: $log)"
[ "${#windows[@]}" = 0 ] || echo "== not run here (Windows side, by hand): ${windows[*]}"
[ "$missed" = 0 ] && [ "$invalid" = 0 ] && [ "$unstable" = 0 ]
