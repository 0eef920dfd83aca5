#!/usr/bin/env bash
# scripts/ctest-totals against CTest output as CTest writes it: skipped tests are not passed.
set -uo pipefail
totals=$1
status=0

expect() {
    local name=$1 expected=$2 log=$3 got
    got=$(printf '%s\n' "$log" | "$totals")
    if [ "$got" != "$expected" ]; then
        echo "FAIL $name: got '$got', expected '$expected'"
        status=1
    fi
}

expect "all passed" "600 0 0" "100% tests passed, 0 tests failed out of 600

Total Test time (real) =  37.00 sec"

expect "skipped are not passed" "596 0 2" "100% tests passed, 0 tests failed out of 598

Total Test time (real) =  76.92 sec

The following tests did not run:
	213 - SettingsFileTest.AFailedWriteLeavesTheOldFile (Skipped)
	214 - SettingsFileTest.AnUnwritableFolder (Disabled)"

expect "failures, skipped and their list" "95 3 1" "97% tests passed, 3 tests failed out of 99

The following tests did not run:
	 12 - WineLink.Probe (Skipped)

The following tests FAILED:
	  7 - A.b (Failed)
	  8 - A.c (Timeout)
	  9 - A.d (SEGFAULT)"

expect "one failure" "0 1 0" "0% tests passed, 1 tests failed out of 1"

expect "a test named like the summary does not count" "10 0 0" "        Start   1: Skipped.Names (Skipped)x
100% tests passed, 0 tests failed out of 10"

expect "no summary: ctest did not run" "0 0 0" "No tests were found!!!"

exit $status
