#!/usr/bin/env bash
# Mix that talks back, with a stand-in vorlax4 that reports its progress
# slowly: "Mixing" and a changing percentage soon after Ctrl+m (the
# control window's title carries the status line while the engine runs), a
# click on Show and a shortcut pressed meanwhile do nothing then or after,
# Cancel ends the stand-in promptly and leaves no output; a full run
# ends with the summary in the status line; a stand-in that fails with three
# reasons shows all three in the "Mix report" window.
source "$(dirname "$0")/lib.sh"
e2e_setup
stand_in_engine <<'SH'
#!/bin/sh
echo $$ >engine.pid
if [ -e fail-next ]; then
  echo "vorlax4: audio/drums.wav (channel 1): No such file or directory" >&2
  echo "vorlax4: audio/bass.wav: 44100 Hz, the mix is 48000 Hz" >&2
  echo "vorlax4: Demo.wav: cannot create the output: Permission denied" >&2
  exit 2
fi
trap 'rm -f .partial.wav; exit 2' TERM
: >.partial.wav
p=0
while [ $p -le 100 ]; do echo "progress $p" >&3; p=$((p + 2)); sleep 0.1; done
mv .partial.wav out.wav
echo "out.wav: 2.500 s, 48000 Hz, 2 ch, 24 bit, peak -1.50 dBFS, 0 clipped, rendered in 5.10 s (1.0x realtime)"
echo done >&3
SH
E2E_PATH=$ENGINE start_orvane
id=$(window_id Orvane)

# The start of a render: the titles seen, every 50 ms. The bounds on time
# here are generous (the stand-in reports every 0.1 s): they catch a frozen
# editor, not a slow machine.
keys_to Orvane ctrl+m
titles=""
end=$(($(date +%s%N) + 3000000000))
while [ "$(date +%s%N)" -lt $end ]; do
  titles+="$(xdotool getwindowname "$id")"$'\n'
  percents=$(printf '%s' "$titles" | sed -n 's/^Mixing: \([0-9]*\)%.*Orvane$/\1/p' | sort -un | wc -l)
  [ "$percents" -ge 2 ] && break
  sleep 0.05
done
[ "$percents" -ge 2 ] || fail "no changing progress while the stand-in ran: $titles"
import -window "$id" "$ARTIFACTS/mix-progress.png"

# Meanwhile: a click on the Faders Show button and Ctrl+e.
xdotool mousemove --window "$id" 28 81 click 1
xdotool key --window "$id" ctrl+e
sleep 0.2
[ -e "$WORK/engine.pid" ] && kill -0 "$(cat "$WORK/engine.pid")" 2>/dev/null || fail "the render ended too soon: $(xdotool getwindowname "$id") $(cat "$WORK/.stdout")"

# Cancel: the stand-in is gone well before its end, nothing is left.
xdotool mousemove --window "$id" 296 161 click 1
pid=$(cat "$WORK/engine.pid")
for i in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the stand-in still runs 3 s after Cancel"
for i in $(seq 1 20); do grep -q "Mix cancelled" "$WORK/.stdout" && break; sleep 0.1; done
grep -qx "Mix cancelled" "$WORK/.stdout" || fail "no cancel reported: $(cat "$WORK/.stdout")"
[ -e "$WORK/.partial.wav" ] || [ -e "$WORK/out.wav" ] && fail "the cancelled render left output"
sleep 0.5
window_visible Faders && fail "the click on Show during the render opened Faders"
window_visible Effects && fail "Ctrl+e during the render opened Effects"
[ "$(xdotool getwindowname "$id")" = Orvane ] || fail "title after the render: $(xdotool getwindowname "$id")"
[ "$(status_line)" = "Mix cancelled" ] || fail "status after Cancel: $(status_line)"
screenshot Orvane mix-cancelled.png

# A full run: the summary in the status line.
keys_to Orvane ctrl+m
for i in $(seq 1 100); do grep -q "^out.wav: " "$WORK/.stdout" && break; sleep 0.1; done
for i in $(seq 1 30); do [ "$(xdotool getwindowname "$id")" = Orvane ] && break; sleep 0.1; done
status=$(status_line)
[ "$status" = "Mix Complete: out.wav, 2.5 s, peak -1.50 dBFS, rendered in 5.1 s" ] || fail "status: $status"
screenshot Orvane mix-complete.png

# Three reasons: the first in the status line, all in the report.
touch "$WORK/fail-next"
keys_to Orvane ctrl+m
report=$(window_id "Mix report")
screenshot "Mix report" mix-report.png
text=$(copy_text "Mix report" 20 16 550 238)
for r in "audio/drums.wav (channel 1): No such file or directory" \
         "audio/bass.wav: 44100 Hz, the mix is 48000 Hz" \
         "Demo.wav: cannot create the output: Permission denied"; do
  printf '%s' "$text" | grep -qF "$r" || fail "the report lacks '$r': $text"
  grep -qF "$r" "$WORK/.stderr" || fail "'$r' not passed on to standard error"
done
[ "$(status_line)" = "Mix failed: audio/drums.wav (channel 1): No such file or directory" ] ||
  fail "status after the failure: $(status_line)"

keys_to Orvane ctrl+q
wait_exit
echo "mix_progress: ok"
