#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each for a bounded
# time. The program targets start from the script tests and the examples as
# they are now; the others (and found regressions) from the committed seeds
# in fuzz/corpus. New inputs go to a scratch directory; fuzz/corpus is not
# changed. Fails on any crash, sanitizer
# report, leak, time-out or out-of-memory; the reproducer is kept under the
# artifact directory.
#
#   FUZZ_SECONDS   total running time, shared out by weight (default 60)
#   FUZZ_BUILD     build directory (default build-fuzz)
#   FUZZ_TARGETS   the targets to run (default: all)
#   FUZZ_STATS     if set, a file that receives "target executions" lines
#   FUZZ_ARTIFACTS where crashing inputs are kept (default FUZZ_BUILD/artifacts)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

total="${FUZZ_SECONDS:-60}"
build="$(realpath -m "${FUZZ_BUILD:-build-fuzz}")"
# Absolute: the program target runs in a temporary working directory.
artifacts="$(realpath -m "${FUZZ_ARTIFACTS:-$build/artifacts}")"
jobs="${JOBS:-2}"

# target:weight. Whole programs have the most ground to cover.
all_targets="front_end:2 program:4 http:1 module_yaml:1 module_name:1 trailer:1 json:1"
selected="${FUZZ_TARGETS:-front_end program http module_yaml module_name trailer json}"

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ > /dev/null
cmake --build "$build" -j "$jobs"
mkdir -p "$artifacts"

weight_sum=0
for entry in $all_targets; do
    name="${entry%%:*}"
    case " $selected " in *" $name "*) weight_sum=$((weight_sum + ${entry##*:})) ;; esac
done
[ "$weight_sum" -gt 0 ] || { echo "fuzz.sh: no known target in '$selected'" >&2; exit 2; }

scratch="$(mktemp -d /tmp/drevel-fuzz-run-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
[ -z "${FUZZ_STATS:-}" ] || : > "$FUZZ_STATS"

# Seeds for the targets that read programs: every example and script test up
# to the fuzzers' 4 KiB input limit, named after its place in the tree. The
# program target skips those that open a window.
seeds="$scratch/seeds"
mkdir -p "$seeds/front_end" "$seeds/program"
while IFS= read -r -d '' file; do
    [ "$(stat -c %s "$file")" -le 4096 ] || continue
    rel="${file#"$root"/}"
    name="${rel//\//__}"
    cp "$file" "$seeds/front_end/$name"
    grep -qwE 'sdl2|window|present' "$file" || cp "$file" "$seeds/program/$name"
done < <(find "$root/examples" "$root/tests/scripts" -name '*.dv' -type f -print0)
echo "seeds: $(find "$seeds/front_end" -type f | wc -l) scripts from the examples and the script tests"

# Leaks are checked after every input; UBSan stops at its first report.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:symbolize=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
for entry in $all_targets; do
    name="${entry%%:*}"
    case " $selected " in *" $name "*) ;; *) continue ;; esac
    seconds=$((total * ${entry##*:} / weight_sum))
    [ "$seconds" -ge 1 ] || seconds=1
    flags=(-max_total_time="$seconds" -max_len=4096 -timeout=30 -rss_limit_mb=3072
           -print_final_stats=1 -artifact_prefix="$artifacts/$name-")
    # The program target's scripts write ERROR lines; libFuzzer keeps its own
    # reports on a copy of standard error.
    [ "$name" != program ] || flags+=(-close_fd_mask=2)
    case "$name" in front_end | program) flags+=(-dict="$root/fuzz/language.dict") ;; esac
    mkdir -p "$scratch/$name"
    log="$scratch/$name.log"
    echo "== fuzz_$name: ${seconds}s"
    status=0
    inputs=()
    for dir in "$seeds/$name" "$root/fuzz/corpus/$name"; do
        [ ! -d "$dir" ] || inputs+=("$dir")
    done
    "$build/fuzz_$name" "${flags[@]}" "$scratch/$name" "${inputs[@]}" > "$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    echo "   executions: ${runs:-?}, new inputs: $(find "$scratch/$name" -type f | wc -l), status: $status"
    [ -z "${FUZZ_STATS:-}" ] || echo "$name ${runs:-0} $seconds $status" >> "$FUZZ_STATS"
    if [ "$status" -ne 0 ]; then
        failed=1
        echo "fuzz_$name FAILED; its report:" >&2
        grep -v '^#[0-9]' "$log" | tail -60 >&2
    fi
done
exit "$failed"
