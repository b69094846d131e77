#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/, replays the inputs kept in
# fuzz/crashes/ through their target, then runs each target for SECONDS
# (default $QV_FUZZ_SECONDS or 60) on one core. Exits non-zero when a target
# failed, printing the crashing input's path (build-fuzz/crashes/) and, for a
# small input, its bytes in base64 so that a CI log alone is enough to
# reproduce it.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-${QV_FUZZ_SECONDS:-60}}"
targets="${QV_FUZZ_TARGETS:-fuzz_picture fuzz_clipboard fuzz_profile fuzz_hive}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQV_FUZZ=ON \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
ninja -C "$build" -j1 $targets

mkdir -p "$build/crashes"
status=0
for target in $targets; do
    case "$target" in
        fuzz_picture) seeds=picture; max_len=16384 ;;
        fuzz_clipboard) seeds=clipboard; max_len=16384 ;;
        fuzz_profile) seeds=profile; max_len=4096 ;;
        fuzz_hive) seeds=hive; max_len=4096 ;;
        *) echo "unknown target $target" >&2; exit 2 ;;
    esac
    # Inputs found earlier (fuzz/crashes/<area>-*) must pass before fuzzing.
    kept=("$root/fuzz/crashes/$seeds"-*)
    if [ -e "${kept[0]}" ]; then
        if ! "$build/bin/$target" "${kept[@]}" >"$build/$target.replay.log" 2>&1; then
            echo "$target fails on a kept input (log: $build/$target.replay.log):"
            grep -E 'Running: |ERROR|fuzz check failed' "$build/$target.replay.log" | tail -n 6 || true
            status=1
            continue
        fi
        echo "== $target: ${#kept[@]} kept inputs replayed"
    fi
    corpus="$build/corpus/$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp "$root/fuzz/seeds/$seeds/"* "$corpus/"
    log="$build/$target.log"
    echo "== $target: ${seconds}s, max_len $max_len (log: $log)"
    # With -jobs the run goes to fuzz-0.log in the working folder: keep it in
    # the target's own folder and append it to the target's log.
    work="$build/run/$target"
    rm -rf "$work"
    mkdir -p "$work"
    set +e
    (cd "$work" && "$build/bin/$target" "$corpus" -max_total_time="$seconds" -max_len="$max_len" \
        -jobs=1 -workers=1 -print_final_stats=1 -rss_limit_mb=2048 -timeout=25 \
        -artifact_prefix="$build/crashes/$target-") >"$log" 2>&1
    rc=$?
    cat "$work"/fuzz-*.log >>"$log" 2>/dev/null
    set -e
    grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE)' "$log" || true
    if [ "$rc" -ne 0 ]; then
        echo "$target failed (exit $rc); crashing input:"
        for unit in $(grep -Eo "Test unit written to [^ ]+" "$log" | sed 's/Test unit written to //'); do
            echo "  $unit"
            if [ -f "$unit" ] && [ "$(stat -c %s "$unit")" -le 65536 ]; then
                echo "  its bytes, base64 (decode with 'base64 -d'):"
                base64 -w 76 "$unit" | sed 's/^/    /'
            fi
        done
        tail -n 40 "$log" | grep -E 'ERROR|fuzz check failed|#[0-9] 0x' | head -n 12 || true
        status=1
    fi
done
exit "$status"
