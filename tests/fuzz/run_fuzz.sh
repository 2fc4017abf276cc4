#!/usr/bin/env bash
# Seeded random-argument fuzzer through the real host: octave-cli with the
# AddressSanitizer and UndefinedBehaviorSanitizer runtimes preloaded calls the
# sanitized MEX files of BUILD_DIR/mex (fuzz_run.m, fuzz_call.m).
#
#   tests/fuzz/run_fuzz.sh BUILD_DIR CALLS "SEEDS" TIMEOUT [WILD]
#
# CALLS calls in all, shared out among the SEEDS; TIMEOUT seconds is the
# limit of one call.  WILD=1 also gives acq_fetch and acq_stop scalars that
# name no live session (random addresses, a stopped session's scalars),
# which their session guards must refuse; WILD=0 (the default) gives them
# only zero addresses and the live session's scalars, mutated in ways they
# refuse without the guards.
#
# A call passes when it returns or raises a host error.  A finding is a call
# that kills the host, hangs past the limit, or makes a sanitizer report
# (memory error, undefined behaviour, or a request beyond the memory cap
# below); the host is then restarted at the next call.  Every call is logged
# before it runs, so the log's last line names a call that killed the host.
# Results: BUILD_DIR/fuzz/summary.txt and findings.txt.  Exit status 1 when
# there is a finding or when the sanitizers do not fire on the canary.
set -u
if [ $# -lt 4 ]; then
  echo "usage: $0 BUILD_DIR CALLS \"SEEDS\" TIMEOUT [WILD]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
calls=$2
read -r -a seeds <<<"$3"
limit=$4
wild=${5:-0}
mexdir=$build/mex
work=$build/fuzz
for f in acq_start.mex fuzz_canary.mex libampsim.so; do
  if [ ! -e "$mexdir/$f" ]; then
    echo "run_fuzz: $mexdir/$f is missing (build the tree with -DEEGMEX_SANITIZE=ON -DEEGMEX_SANITIZE_MEX=ON)" >&2
    exit 2
  fi
done

rm -rf "$work"
mkdir -p "$work"
# Files for acq_start that are no driver library.
printf 'not a library\n' >"$work/not_a_library.so"
: >"$work/empty.so"
mkfifo "$work/fifo.so"

# The sanitizer runtimes, preloaded into an octave-cli that is not built with
# them.  Octave's own allocations would drown ours in leak reports, so leaks
# are not looked for.  The memory cap: a single request above 2 GB fails (as
# malloc fails under a limit on the address space, which AddressSanitizer's
# shadow memory rules out), and a process above 3 GB resident is stopped
# with a report.
# Only octave-cli gets them (env execs it, so its process id is octave's).
asan=$(readlink -f "$(gcc -print-file-name=libasan.so)")
ubsan=$(readlink -f "$(gcc -print-file-name=libubsan.so)")
preload="$asan:$ubsan"
octave=(env "LD_PRELOAD=$preload"
        "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1:max_allocation_size_mb=2048:hard_rss_limit_mb=3072:allow_user_segv_handler=0:handle_abort=1"
        "UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1"
        octave-cli --no-history --no-init-file --quiet --no-window-system)
report_pattern='ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer|AddressSanitizer:DEADLYSIGNAL|SUMMARY: (Address|UndefinedBehavior)Sanitizer'

# 1. The canary: the sanitizers must report a deliberate fault of each kind.
canary() {
  { "${octave[@]}" --eval "addpath('$mexdir'); disp(fuzz_canary('$1'))" >"$work/canary-$1.out" 2>&1; } 2>/dev/null
}
canary fine
if ! grep -qx ' *42' "$work/canary-fine.out"; then
  echo "run_fuzz: the sanitized canary MEX file does not load into octave-cli:" >&2
  cat "$work/canary-fine.out" >&2
  exit 1
fi
canary heap
if ! grep -q 'ERROR: AddressSanitizer: heap-buffer-overflow' "$work/canary-heap.out"; then
  echo "run_fuzz: AddressSanitizer did not report the canary's heap overflow:" >&2
  cat "$work/canary-heap.out" >&2
  exit 1
fi
canary ub
if ! grep -q 'runtime error: signed integer overflow' "$work/canary-ub.out"; then
  echo "run_fuzz: UndefinedBehaviorSanitizer did not report the canary's overflow:" >&2
  cat "$work/canary-ub.out" >&2
  exit 1
fi
echo "fuzz: the sanitizers fire through octave-cli (canary heap overflow and integer overflow reported)"

# 2. The calls, seed by seed; the host is restarted after each finding.
findings=0
: >"$work/findings.txt"
per_seed=$(( (calls + ${#seeds[@]} - 1) / ${#seeds[@]} ))
started=$(date +%s)
for seed in "${seeds[@]}"; do
  first=1
  runs=0
  while [ "$first" -le "$per_seed" ]; do
    runs=$((runs + 1))
    log=$work/calls-$seed-$runs.log
    err=$work/stderr-$seed-$runs.txt
    : >"$log"
    # The shell's own note of a host killed by a signal would only repeat
    # what the finding says: the shell's messages are left out meanwhile.
    exec 3>&2 2>/dev/null
    "${octave[@]}" --eval "addpath('$mexdir'); addpath('$here'); fuzz_run($seed, $first, $per_seed, '$log', '$work', $wild)" \
      >>"$work/stdout.txt" 2>"$err" &
    pid=$!
    # Watchdog: the log grows by one line before each call.
    size=-1
    still=0
    hung=0
    while kill -0 "$pid" 2>/dev/null; do
      sleep 1
      now=$(stat -c %s "$log")
      if [ "$now" = "$size" ]; then still=$((still + 1)); else still=0; size=$now; fi
      if [ "$still" -ge "$limit" ]; then
        hung=1
        kill -KILL "$pid" 2>/dev/null
        break
      fi
    done
    wait "$pid"
    rc=$?
    exec 2>&3 3>&-
    last_call=$(grep '^CALL ' "$log" | tail -n 1)
    k=$(echo "$last_call" | awk '{print $3}')
    reported=0
    grep -Eq "$report_pattern" "$err" && reported=1
    if [ "$hung" = 0 ] && [ "$rc" = 0 ] && [ "$reported" = 0 ] && grep -q '^END ' "$log"; then
      break
    fi
    # Between calls (after a RET line) only the fuzzer runs: a failure there is
    # the fuzzer's own.
    if [ -z "$k" ] || { tail -n 1 "$log" | grep -q '^RET '; } ||
       { [ "$hung" = 0 ] && [ "$reported" = 0 ] && [ "$rc" = 1 ] && grep -q '^error: ' "$err"; }; then
      echo "run_fuzz: the fuzzer itself failed (status $rc) after call ${k:-0} of seed $seed:" >&2
      tail -n 30 "$err" >&2
      exit 1
    fi
    findings=$((findings + 1))
    if grep -Eq 'SUMMARY: AddressSanitizer: (out-of-memory|allocation-size-too-big|rss-limit-exceeded)' "$err"; then
      kind="memory cap: $(grep -Eo 'SUMMARY: AddressSanitizer: [a-z-]+' "$err" | head -n 1 | sed 's/SUMMARY: AddressSanitizer: //')"
    elif [ "$reported" = 1 ]; then
      kind="sanitizer report: $(grep -Eo 'ERROR: AddressSanitizer: [a-zA-Z-]+|runtime error: [^:]*' "$err" | head -n 1)"
    elif [ "$hung" = 1 ]; then
      kind="hang: no return within $limit s"
    else
      kind="host died (exit status $rc)"
    fi
    [ "$hung" = 1 ] && [ "$reported" = 1 ] && kind="$kind, then no return within $limit s"
    grep -q '^END ' "$log" && kind="$kind, after the last call (at exit)"
    {
      echo "== finding $findings: $kind"
      echo "$last_call"
      echo "   replay: LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0 octave-cli --eval \"addpath('$mexdir', '$here'); fuzz_replay($seed, $k, '$work', true)\""
      grep -E -A 25 "$report_pattern|fatal:|panic" "$err" | head -n 40 | sed 's/^/   | /'
      echo
    } >>"$work/findings.txt"
    echo "fuzz: finding $findings ($kind) at call $k of seed $seed"
    first=$((k + 1))
  done
done
elapsed=$(( $(date +%s) - started ))

# 3. The sums over every host run.
cat "$work"/calls-*.log | awk -v findings="$findings" -v elapsed="$elapsed" -v seeds="${seeds[*]}" \
                              -v outcomes="$work/outcomes.txt" '
  /^CALL / { calls++ }
  /^RET / { name = $5; use = $6; $1 = $2 = $3 = $4 = $5 = $6 = ""; outcome = substr($0, 7)
            per[name]++; seen[name " " outcome]++
            if (outcome == "ok") { ok++; okper[name]++ } else raised++
            if (substr(outcome, 1, 1) == "\"" && index(outcome, "\"" name ": ") != 1) noid[name " " outcome]++
            if (name == "acq_start" && outcome == "ok") started++
            if (use == "valid" && outcome == "ok") valid[name]++ }
  END {
    printf "fuzz: %d calls (seeds %s) in %d s: %d returned, %d raised a host error, %d died or hung; %d finding(s)\n",
           calls, seeds, elapsed, ok, raised, calls - ok - raised, findings
    printf "fuzz: acquisition: %d sessions started, %d fetches and %d stops with valid session scalars\n",
           started, valid["acq_fetch"], valid["acq_stop"]
    for (key in noid) printf "fuzz: the host'"'"'s own error, without identifier: %d x %s\n", noid[key], key
    for (name in per) printf "fuzz:   %-22s %5d calls, %5d returned\n", name, per[name], okper[name] | "sort"
    close("sort")
    for (key in seen) printf "%8d  %s\n", seen[key], key | ("sort -k2 > " outcomes)
  }' | tee "$work/summary.txt"
echo "slowest calls:" >>"$work/summary.txt"
grep -h '^RET ' "$work"/calls-*.log | sort -k4 -g -r | head -n 5 >>"$work/summary.txt"
if [ "$findings" -gt 0 ]; then
  echo "fuzz: FAILED, $findings finding(s):"
  cat "$work/findings.txt"
  exit 1
fi
echo "fuzz: passed (summary: $work/summary.txt, outcomes by deliverable: $work/outcomes.txt)"
