#!/usr/bin/env bash
# installed_mix.sh BINDIR: the editor BINDIR/orvane, started under Xvfb in a
# copy of the demo outside the repository with nothing of the build on the
# search path, carries the window class "orvane" and an icon, and Mix runs
# the engine installed beside it, not a decoy vorlax4 first on the search
# path: the demo's WAV file appears, 8 s or longer, stereo, 48 kHz, 24 bits.
set -euo pipefail
ORVANE_SRC=${ORVANE_SRC:-$(cd "$(dirname "$0")/../.." && pwd)}
ORVANE_BIN=$(cd "$1" && pwd)
ARTIFACTS=${ARTIFACTS:-$ORVANE_SRC/build/e2e-artifacts}
source "$ORVANE_SRC/tests/e2e/lib.sh"
e2e_setup
cp -r "$ORVANE_SRC/examples/demo/." "$WORK/"
"$ORVANE_SRC/scripts/make-demo-audio" "$WORK"
mkdir "$WORK/.decoy"
printf '#!/bin/sh\ntouch "%s/decoy-ran"\nexit 3\n' "$WORK" >"$WORK/.decoy/vorlax4"
chmod +x "$WORK/.decoy/vorlax4"
PATH=$WORK/.decoy:/usr/local/bin:/usr/bin:/bin start_orvane

id=$(window_id Orvane)
class=$(xprop -id "$id" WM_CLASS)
[ "$class" = 'WM_CLASS(STRING) = "orvane", "Orvane"' ] || fail "window class: $class"
icon=$(xprop -id "$id" _NET_WM_ICON)
grep -q 'Icon (48 x 48)' <<<"$icon" || fail "no 48 px icon: ${icon:0:200}"

click_in Orvane 336 90                                   # the "Recall" menu
xdotool key --delay 80 Down Down Down Down Return        # "Recall All"
sleep 0.5
keys_to Orvane ctrl+m
for i in $(seq 1 300); do [ -s "$WORK/Demo.wav" ] || [ -e "$WORK/decoy-ran" ] && break; sleep 0.1; done
[ -e "$WORK/decoy-ran" ] && fail "Mix ran the vorlax4 of the search path, not the one beside orvane"
[ -s "$WORK/Demo.wav" ] || fail "Mix wrote no Demo.wav: $(cat "$WORK/.stdout" "$WORK/.stderr")"
sleep 0.3
screenshot Orvane installed-mix.png
grep -q "Mix failed" "$WORK/.stdout" && fail "the editor reports a failure: $(cat "$WORK/.stdout")"
info=$(printf '%s %s %s %s' "$(soxi -D "$WORK/Demo.wav")" "$(soxi -c "$WORK/Demo.wav")" \
  "$(soxi -r "$WORK/Demo.wav")" "$(soxi -b "$WORK/Demo.wav")")
echo "$info" | awk '{ exit !($1 >= 7.99 && $2 == 2 && $3 == 48000 && $4 == 24) }' \
  || fail "Demo.wav: length, channels, rate, bits: $info"
keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "orvane exited with $ORVANE_STATUS"
echo "installed_mix: ok ($ORVANE_BIN)"
