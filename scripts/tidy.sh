#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy; every warning is an error) on the C++
# files that changed, with the compile commands of a configured build folder:
#
#   scripts/tidy.sh [BUILD]          (default build; `make tidy`)
#
# Which files changed: those that differ between a base commit and the work
# tree (committed or not), the deleted ones left out.
#   KLIK_TIDY_BASE=REV      the base is where HEAD's history meets REV's
#                           (e.g. main, on a branch of one's own: everything
#                           the branch changed);
#   KLIK_TIDY_COMMITS=N     without KLIK_TIDY_BASE, the base is N commits
#                           before HEAD (default 5): on a clean clone of main,
#                           as CI has, the files the latest commits touched.
#                           A shorter history (a shallow clone) gives as many
#                           commits as it holds.
#   KLIK_TIDY_FILES="a b"   these files instead (e.g. every file: all).
# A changed header is checked through the .cpp of the same name beside it
# (whose own lines count too) and through every changed .cpp that includes
# it; the headers a changed file merely includes are not reported.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
cd "$root"

tidy="${CLANG_TIDY:-clang-tidy}"
if ! command -v "$tidy" >/dev/null 2>&1; then
    echo "tidy: $tidy not found (scripts/deps/build.txt lists clang-tidy)" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: $build/compile_commands.json is missing: configure the build first" >&2
    exit 1
fi

if [ -n "${KLIK_TIDY_FILES:-}" ]; then
    if [ "$KLIK_TIDY_FILES" = all ]; then
        mapfile -t changed < <(git ls-files '*.cpp' '*.h')
    else
        read -r -a changed <<<"$KLIK_TIDY_FILES"
    fi
    what="the files given"
else
    if [ -n "${KLIK_TIDY_BASE:-}" ]; then
        # What this branch changed since it left REV (REV's own later
        # commits are not this branch's changes).
        base="$(git merge-base "$(git rev-parse --verify "${KLIK_TIDY_BASE}^{commit}")" HEAD)"
    else
        n="${KLIK_TIDY_COMMITS:-5}"
        base="$(git rev-list --max-count="$((n + 1))" HEAD | tail -n 1)"
    fi
    what="the files changed since $(git log -1 --format='%h %s' "$base" | cut -c1-70)"
    mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h')
fi

# The compile commands, one per source file: a unity build (KLIK_UNITY_BUILD)
# lists only its batch files (Unity/unity_N_cxx.cxx), so each batch's entry
# is repeated for every source the batch includes, with that source in its
# place. clang-tidy reads this copy.
db="$(mktemp -d)"
log="$(mktemp)"
trap 'rm -rf "$db" "$log"' EXIT
# The translation units: the changed .cpp files that the build compiles,
# and for each changed header its own .cpp and the changed .cpp files that
# include it.
mapfile -t compiled < <(python3 - "$build/compile_commands.json" "$root" "$db/compile_commands.json" <<'EOF'
import json, os, re, sys
root = sys.argv[2]
entries = []
for e in json.load(open(sys.argv[1])):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if "/Unity/unity_" not in f:
        entries.append(e)
        continue
    for line in open(f):
        m = re.match(r'#include "(.+)"', line.strip())
        if not m:
            continue
        src = m.group(1)
        one = dict(e, file=src)
        if "command" in one:
            one["command"] = one["command"].replace(e["file"], src)
        if "arguments" in one:
            one["arguments"] = [src if a == e["file"] else a for a in one["arguments"]]
        entries.append(one)
json.dump(entries, open(sys.argv[3], "w"), indent=1)
for e in entries:
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if f.startswith(root + "/") and "/_deps/" not in f and "_autogen/" not in f:
        print(os.path.relpath(f, root))
EOF
)
declare -A inDb=() units=() report=()
for f in "${compiled[@]}"; do inDb[$f]=1; done
for f in "${changed[@]}"; do
    [ -f "$f" ] || continue
    report[$f]=1
    case "$f" in
    *.cpp) [ -n "${inDb[$f]:-}" ] && units[$f]=1 ;;
    *.h)
        own="${f%.h}.cpp"
        [ -n "${inDb[$own]:-}" ] && units[$own]=1
        ;;
    esac
done
if [ ${#report[@]} -eq 0 ] || [ ${#units[@]} -eq 0 ]; then
    echo "tidy: no C++ file of the build among $what"
    exit 0
fi

# Only the changed files' own lines count: the header filter names the
# changed headers exactly.
headers=()
for f in "${!report[@]}"; do
    case "$f" in *.h) headers+=("$(printf '%s' "$root/$f" | sed 's/[].[^$*+?(){}|\\]/\\&/g')") ;; esac
done
if [ ${#headers[@]} -eq 0 ]; then
    filter='^$'
else
    filter="^($(IFS='|'; echo "${headers[*]}"))$"
fi

mapfile -t list < <(printf '%s\n' "${!units[@]}" | sort)
echo "tidy: ${#list[@]} files ($what)"
jobs="${JOBS:-$(nproc)}"
status=0
printf '%s\n' "${list[@]}" |
    xargs -P "$jobs" -I{} "$tidy" -p "$db" --quiet --header-filter="$filter" {} >"$log" 2>&1 ||
    status=$?
# clang-tidy's own summary lines ("N warnings generated", suppressed counts)
# are noise; the findings stay.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Use -system-headers' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "tidy: clang-tidy found problems (every warning is an error; see .clang-tidy)" >&2
    exit 1
fi
echo "tidy: clean"
