#!/usr/bin/env bash
# Mix in the editor runs the real vorlax4: Recall All of the demo mix, Ctrl+m,
# a WAV file of the mix appears and the engine's summary is in the status
# line; with a wave file missing the editor reports that the mix failed and
# why.
source "$(dirname "$0")/lib.sh"
e2e_setup
if [ -d "$ORVANE_SRC/examples/demo" ]; then
  cp -r "$ORVANE_SRC/examples/demo/." "$WORK/"
else
  printf 'Demo\n\nsub\t1\t1,2\n\nend\n' >"$WORK/faders.txt"
  printf '1 audio/drums.wav +\n2 audio/bass.wav +\n3 audio/keys.wav +\n4 audio/vocal.wav +\nend\n' >"$WORK/tracks.txt"
  printf 'pre\toff\nstart\t0.000\t0.000\t0\nlength\t0.000\npan\t3.0\noutbits\t24\ndither\t1\ncolor\t97\nend\n' >"$WORK/prefs.txt"
fi
"$ORVANE_SRC/scripts/make-demo-audio" "$WORK"
E2E_PATH=$ORVANE_BIN start_orvane

click_in Orvane 336 90                                   # the "Recall" menu
xdotool key --delay 80 Down Down Down Down Return        # "Recall All"
sleep 0.5
keys_to Orvane ctrl+m
for i in $(seq 1 100); do
  wav=$(cd "$WORK" && ls *.wav 2>/dev/null | head -n 1 || true)
  [ -n "$wav" ] && break
  sleep 0.1
done
[ -n "$wav" ] || fail "Mix wrote no WAV file: $(cat "$WORK/.stdout" "$WORK/.stderr")"
sleep 0.3
screenshot Orvane engine-mix-complete.png
grep -q "Mix failed" "$WORK/.stdout" && fail "the editor reports a failure: $(cat "$WORK/.stdout")"
len=$(soxi -D "$WORK/$wav")
awk -v l="$len" 'BEGIN { exit !(l >= 7.99) }' || fail "the mix is only $len s"
for i in $(seq 1 30); do [ "$(window_title '^Orvane')" = Orvane ] && break; sleep 0.1; done
status=$(status_line)
[[ "$status" =~ ^"Mix Complete: $wav, "[0-9.]+" s, peak "-?[0-9.]+" dBFS, rendered in "[0-9.]+" s"$ ]] ||
  fail "no summary in the status line: $status"

# A source gone: the engine exits 2 and the editor says the mix failed.
rm "$WORK/audio/vocal.wav" "$WORK/$wav"
keys_to Orvane ctrl+m
for i in $(seq 1 50); do grep -q "Mix failed" "$WORK/.stdout" && break; sleep 0.1; done
grep -q "Mix failed: audio/vocal.wav (channel [0-9]*): No such file or directory" "$WORK/.stdout" ||
  fail "no failure reported: $(cat "$WORK/.stdout")"
grep -q "audio/vocal.wav (channel [0-9]*): No such file" "$WORK/.stderr" || fail "the engine did not name the file"
window_id "Mix report" >/dev/null
[ -e "$WORK/$wav" ] && fail "a WAV file was written by the failed mix"
screenshot Orvane engine-mix-failed.png
keys_to Orvane ctrl+q
wait_exit
echo "engine_mix: ok"
