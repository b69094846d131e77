#!/usr/bin/env bash
# Builds qv_bench and quorvex, makes CAD-like pictures of 1, 10 and 60 MB and 200 small ones
# (20-50 KB) and prints the figures of the extent, improve and parallel benchmarks.
#
#   bench/run.sh [--quick]
#
# --quick: only the 1 MB picture, turned by 0 and 90 degrees with crop on, few repetitions,
# and one run of each -j (proves the benchmarks work).
# The pictures are kept under BUILD/bench-data/ and made again only when the generator
# changes. Environment: QV_BUILD_DIR (default: build/ of the tree), QV_BENCH and QV_QUORVEX
# (a qv_bench and a quorvex to run instead of building them), TMPDIR (where the improved
# files are written).
set -euo pipefail

usage() { sed -n '2,12s/^# \{0,1\}//p' "$0"; }

quick=0
for arg in "$@"; do
    case "$arg" in
        --quick) quick=1 ;;
        -h | --help) usage; exit 0 ;;
        *) echo "run.sh: unknown argument: $arg" >&2; usage >&2; exit 2 ;;
    esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
generator=$root/tools/mkbigwmf.py
[[ -f $generator ]] || { echo "run.sh: $generator is missing" >&2; exit 1; }

targets=()
[[ -n ${QV_BENCH:-} ]] || targets+=(qv_bench)
[[ -n ${QV_QUORVEX:-} ]] || targets+=(quorvex)
if ((${#targets[@]})); then
    # Quiet unless the build fails.
    log=$(
        {
            [[ -f $build/CMakeCache.txt ]] ||
                cmake -S "$root" -B "$build" -G Ninja -DQV_BUILD_BENCH=ON
            cmake --build "$build" --target "${targets[@]}" -- -j2
        } 2>&1
    ) || { echo "$log" >&2; echo "run.sh: building ${targets[*]} failed" >&2; exit 1; }
fi
bench=${QV_BENCH:-$build/bin/qv_bench}
quorvex=${QV_QUORVEX:-$build/bin/quorvex}
[[ -x $bench ]] || { echo "run.sh: no qv_bench at $bench" >&2; exit 1; }
[[ -x $quorvex ]] || { echo "run.sh: no quorvex at $quorvex" >&2; exit 1; }

if ((quick)); then sizes=(1M); else sizes=(1M 10M 60M); fi

# Pictures of another version of the generator are thrown away.
data=$build/bench-data
stamp=$(sha256sum "$generator" | cut -c1-16)
mkdir -p "$data"
if [[ $(cat "$data/generator" 2>/dev/null) != "$stamp" ]]; then
    rm -f "$data"/cad-*.wmf
    rm -rf "$data/small"
    echo "$stamp" >"$data/generator"
fi

# Each picture is written to a temporary folder beside the cache and moved in only when
# complete, so an interrupted run leaves no half picture behind.
tmp=$(mktemp -d "$data/tmp.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
files=()
for size in "${sizes[@]}"; do
    file=$data/cad-$size.wmf
    if [[ ! -f $file ]]; then
        echo "generating $file ..." >&2
        python3 "$generator" -o "$tmp/cad-$size.wmf" --size "$size" >/dev/null
        mv "$tmp/cad-$size.wmf" "$file"
    fi
    files+=("$file")
done

# The small pictures, all made at once into a folder that is moved in when complete.
small=$data/small
if [[ ! -d $small ]]; then
    echo "generating 200 pictures of 20-50 KB in $small ..." >&2
    mkdir "$tmp/small"
    python3 "$generator" -o "$tmp/small/small-%03d.wmf" --size 20K:50K --count 200 >/dev/null
    mv "$tmp/small" "$small"
fi
smallFiles=("$small"/small-*.wmf)
((${#smallFiles[@]} == 200)) || { echo "run.sh: $small does not hold 200 pictures" >&2; exit 1; }

quickArg=()
((quick)) && quickArg=(--quick)
# Every benchmark runs even when one before it failed; the status says whether any did.
status=0
"$bench" extent "${quickArg[@]}" "${files[@]}" || status=$?
echo
"$bench" improve "${quickArg[@]}" "${files[@]}" || status=$?
echo
"$bench" parallel "${quickArg[@]}" --quorvex "$quorvex" "${smallFiles[@]}" || status=$?
exit "$status"
