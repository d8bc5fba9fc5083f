#!/usr/bin/env bash
# vorlax4 talking to whoever started it: "progress P" lines on the descriptor
# that VORLAX4_PROGRESS_FD names, then "done"; a variable that names no
# usable descriptor, or a reader that goes away, changes nothing else; SIGTERM
# and SIGINT stop a render with status 2 and "render cancelled", leaving the
# previous output as it was and no temporary file. No display needed.
source "$(dirname "$0")/lib.sh"
V="$ORVANE_BIN/vorlax4"
WORK=$(mktemp -d /tmp/orvane-engine-progress-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
cp -r "$ORVANE_SRC/examples/demo/." .
"$ORVANE_SRC/scripts/make-demo-audio" .

set +e
VORLAX4_PROGRESS_FD=3 "$V" >out.txt 2>err.txt 3>progress.txt; rc=$?
set -e
[ $rc -eq 0 ] || fail "status $rc: $(cat err.txt)"
grep -Evx 'progress ([0-9]|[1-9][0-9]|100)|done' progress.txt && fail "stray progress lines"
[ "$(tail -n 2 progress.txt | tr '\n' ' ')" = "progress 100 done " ] || fail "no end: $(tail -n 3 progress.txt)"
sed -n 's/^progress //p' progress.txt | sort -n -c || fail "progress goes back: $(cat progress.txt)"
cp Demo.wav previous.wav

# Nothing usable named, or nobody reading: the render as usual.
for v in "" x 3x -1 99999999999 99 0; do
  set +e; VORLAX4_PROGRESS_FD=$v "$V" >out.txt 2>err.txt </dev/null; rc=$?; set -e
  [ $rc -eq 0 ] && grep -q '^Demo.wav: ' out.txt || fail "VORLAX4_PROGRESS_FD='$v': status $rc: $(cat err.txt)"
done
set +e; VORLAX4_PROGRESS_FD=3 "$V" >out.txt 2>err.txt 3> >(true); rc=$?; set -e
[ $rc -eq 0 ] && grep -q '^Demo.wav: ' out.txt || fail "a reader gone: status $rc: $(cat err.txt)"

# Stopped: a render of ten minutes of tail, signalled once it has begun.
sed -i 's/^tail\t.*/tail\t600/' prefs.txt
grep -q "^tail	600" prefs.txt || fail "the demo's prefs.txt has no tail line"
for sig in TERM INT; do
  : >progress.txt
  VORLAX4_PROGRESS_FD=3 "$V" >out.txt 2>err.txt 3>progress.txt &
  pid=$!
  for i in $(seq 1 100); do grep -q "progress [1-9]" progress.txt && break; sleep 0.05; done
  kill -$sig $pid
  set +e; wait $pid; rc=$?; set -e
  [ $rc -eq 2 ] || fail "SIG$sig: status $rc"
  grep -qx "vorlax4: render cancelled" err.txt || fail "SIG$sig: $(cat err.txt)"
  grep -qx done progress.txt && fail "SIG$sig: done reported"
  cmp -s Demo.wav previous.wav || fail "SIG$sig: the previous output changed"
  ls -A | grep -q '^\.' && fail "SIG$sig: a temporary file was left: $(ls -A)"
done
echo "engine_progress: ok"
