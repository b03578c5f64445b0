#!/usr/bin/env bash
# scripts/wine-exec starts a program once more only when Wine failed to
# start it (status 0xC0000142, which the shell sees as 66, and nothing
# written), once, and logs that retry; every other failure stands. The
# program is the failed-start test's own EndWith role. Usage: this script
# and the path of test_suite_FailedStart_test.exe.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
exe=${1:?the failed-start test program}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# status the program ends with, runs that end so, then: the status seen, runs made, retries logged
while read -r code failing want_status want_runs want_logged; do
  log=$work/log-$code-$failing
  runs=$work/runs-$code-$failing
  : >"$log"
  status=0
  ZO_RETRY_LOG=$log "$top/scripts/wine-exec" "$exe" --child=EndWith "$code" "Z:$runs" "$failing" 2>/dev/null || status=$?
  made=$(stat -c %s "$runs" 2>/dev/null || echo 0)
  logged=$(wc -l <"$log")
  if [ "$status" != "$want_status" ] || [ "$made" != "$want_runs" ] || [ "$logged" != "$want_logged" ]; then
    echo "FAILED: status $code for $failing run(s): got status $status, $made run(s), $logged retry line(s);" \
         "want $want_status, $want_runs, $want_logged" >&2
    failures=$((failures + 1))
  fi
done <<'ROWS'
3221225794 2 0 2 1
3221225794 9 66 2 1
1 9 1 1 0
3221225477 9 5 1 0
ROWS
[ "$failures" -eq 0 ] && echo "wine-exec retries only a failed start, once"
exit "$failures"
