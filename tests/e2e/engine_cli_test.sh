#!/usr/bin/env bash
# vorlax4 from the command line: exit statuses, the messages naming files,
# the summary line, -o, and the demo mix rendered from its three files with
# the sources that make-demo-audio makes. No display needed.
source "$(dirname "$0")/lib.sh"
V="$ORVANE_BIN/vorlax4"
WORK=$(mktemp -d /tmp/orvane-engine-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# Runs vorlax4 with the arguments; status in $rc, outputs in out.txt, err.txt.
run() { set +e; "$V" "$@" >out.txt 2>err.txt; rc=$?; set -e; }

# Command line.
run --help; [ $rc -eq 0 ] && grep -q "^Usage: vorlax4" out.txt || fail "--help"
run --version; [ $rc -eq 0 ] && grep -q "^vorlax4 [0-9]" out.txt || fail "--version"
run --frobnicate; [ $rc -eq 1 ] && grep -q "unknown option --frobnicate" err.txt || fail "bad option"
run -o; [ $rc -eq 1 ] || fail "-o without a file"

# An empty directory: exit 2 naming the missing files, nothing on stdout.
run; [ $rc -eq 2 ] || fail "empty directory: status $rc"
grep -q "faders.txt: No such file or directory" err.txt || fail "faders.txt not named: $(cat err.txt)"
[ ! -s out.txt ] || fail "output on stdout after a failure"

# The demo mix (or, until the demo exists, a mix of the same four tracks).
if [ -d "$ORVANE_SRC/examples/demo" ]; then
  cp -r "$ORVANE_SRC/examples/demo/." .
else
  printf 'Demo\n\nsub\t1\t1,2\n\nend\n' >faders.txt
  printf '1 audio/drums.wav +\n2 audio/bass.wav +\n3 audio/keys.wav +\n4 audio/vocal.wav +\nend\n' >tracks.txt
  printf 'pre\toff\nstart\t0.000\t0.000\t0\nlength\t0.000\npan\t3.0\noutbits\t24\ndither\t1\ncolor\t97\nend\n' >prefs.txt
fi

# Wave files missing: every one listed, nothing written.
run; [ $rc -eq 2 ] || fail "missing wave files: status $rc"
for n in drums bass keys vocal; do grep -q "audio/$n.wav (channel [0-9]*): No such file" err.txt || fail "$n.wav not listed"; done
ls -A | grep -q '\.wav' && fail "a file was written although sources are missing"

"$ORVANE_SRC/scripts/make-demo-audio" . >make.txt 2>&1 || fail "make-demo-audio failed"
[ ! -s make.txt ] || fail "make-demo-audio is not quiet: $(cat make.txt)"
stamp=$(stat -c %Y audio/drums.wav)
sleep 1
"$ORVANE_SRC/scripts/make-demo-audio" . || fail "make-demo-audio again"
[ "$(stat -c %Y audio/drums.wav)" = "$stamp" ] || fail "make-demo-audio is not idempotent"

run; [ $rc -eq 0 ] || fail "demo: status $rc: $(cat err.txt)"
[ "$(wc -l <out.txt)" -eq 1 ] || fail "the summary is not one line: $(cat out.txt)"
wav=$(sed -n 's/^\(.*\.wav\): .*/\1/p' out.txt)
[ -n "$wav" ] && [ -f "$wav" ] || fail "summary names no written file: $(cat out.txt)"
grep -Eq ': [0-9]+\.[0-9]{3} s, 48000 Hz, [12] ch, (16|24) bit, peak -?[0-9.inf]+ dBFS, [0-9]+ clipped, rendered in [0-9.]+ s \([0-9.]+x realtime\)$' out.txt \
  || fail "summary line: $(cat out.txt)"
[ ! -s err.txt ] || fail "stderr not empty without a terminal: $(cat err.txt)"
[ "$(soxi -r "$wav")" = 48000 ] || fail "rate"
len=$(soxi -D "$wav")
awk -v l="$len" 'BEGIN { exit !(l >= 7.99) }' || fail "the demo render is only $len s"
# Not silence.
rms=$(sox "$wav" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
awk -v r="$rms" 'BEGIN { exit !(r > 0.01) }' || fail "the demo render is silent (RMS $rms)"
ls -A | grep -q '^\.' && fail "a temporary file was left: $(ls -A)"

# On a terminal, one updating progress line; -q leaves it out.
script -qec "'$V' -o tty.wav" /dev/null >tty.txt || fail "render on a terminal"
grep -q "rendering .*: 100%" tty.txt || fail "no progress line on a terminal"
script -qec "'$V' -q -o tty.wav" /dev/null >tty.txt || fail "render with -q on a terminal"
grep -q "rendering" tty.txt && fail "progress shown with -q"
rm -f tty.wav

# -o writes the named file instead; -q is accepted.
run -q -o other.wav; [ $rc -eq 0 ] && [ -f other.wav ] || fail "-o other.wav"
grep -q "^other.wav: " out.txt || fail "-o not in the summary"
cmp -s other.wav "$wav" || fail "-o rendered something else"

# A mix directory that does not exist: exit 2 naming the output.
run -o no/such/dir/x.wav; [ $rc -eq 2 ] && grep -q "no/such/dir/x.wav" err.txt || fail "unwritable output"

# A mix in which no channel names a wave file: exit 2, nothing written.
mkdir nothing && cd nothing
printf 'M\nend\n' >faders.txt; printf '1 ---- off\nend\n' >tracks.txt; printf 'end\n' >prefs.txt
run; [ $rc -eq 2 ] && grep -q "nothing to mix: no channel names a wave file" err.txt || fail "nothing to mix: status $rc"
# A name holding an escape sequence is shown escaped, never raw.
printf '1 \033[2Jgone.wav +\nend\n' >tracks.txt
run; [ $rc -eq 2 ] && grep -qF '\x1b[2Jgone.wav (channel 1)' err.txt || fail "name not escaped: $(cat -v err.txt)"
grep -q $'\033' err.txt && fail "a raw escape sequence reached the terminal"
cd ..
echo "engine_cli: ok"
