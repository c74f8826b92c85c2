#!/usr/bin/env bash
# The stack guard of a DLL linked as QVSETUP.dll is (stack_probe.cpp):
# seeded by the entry on each load, so two processes see different guards,
# neither zero; and a function whose buffer overruns its frame ends the
# process with STATUS_STACK_BUFFER_OVERRUN (0xC0000409, exit status 9 here)
# instead of returning. A text that fits returns normally, so the test could
# tell the two apart.
#   check_stack_guard.sh EMULATOR QVHOST PROBE_DLL
set -u
emulator=$1 qvhost=$2 probe=$3
fail=0
problem() { echo "FAIL: $*"; fail=1; }
call() { "$emulator" "$qvhost" --dll "$probe" "$@"; }

first=$(call StackGuard) second=$(call StackGuard)
[[ $first =~ ^return=-?[0-9]+$ ]] || problem "no guard: $first"
[ "$first" != return=0 ] || problem "the guard is zero"
[ "$first" != "$second" ] || problem "two loads have the same guard ($first)"

out=$(call OverrunBuffer "fits in 16") || problem "a text that fits ended the process"
[ "$out" = return=10 ] || problem "a text that fits: $out"

out=$(call OverrunBuffer "$(printf '%064d' 0)" 2>/dev/null)
status=$?
[ -z "$out" ] || problem "the overrun function returned: $out"
[ $status = 9 ] || problem "the overrun ended with status $status, not 9 (0xC0000409)"

[ $fail = 0 ] && echo "stack guard ok: ${first#return=} and ${second#return=}; overrun ends the process"
exit $fail
