#!/usr/bin/env bash
# Ctrl+s in a fresh editor writes the three mix files of the reset model,
# byte for byte, and says nothing on standard output.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

keys_to Orvane ctrl+s
for f in prefs.txt tracks.txt faders.txt; do wait_file "$f"; done
sleep 0.3
screenshot Orvane files-store-all.png
for f in prefs_defaults.txt:prefs.txt tracks_fresh.txt:tracks.txt faders_fresh.txt:faders.txt; do
  cmp -s "$ORVANE_SRC/tests/golden/${f%%:*}" "$WORK/${f##*:}" || fail "${f##*:} differs: $(cat -A "$WORK/${f##*:}")"
done
left=$(cd "$WORK" && ls -A | grep -v '^\.std' | tr '\n' ' ')
[ "$left" = "faders.txt prefs.txt tracks.txt " ] || fail "files left: $left"

keys_to Orvane ctrl+q
wait_exit
[ ! -s "$WORK/.stdout" ] || fail "unexpected output: $(cat "$WORK/.stdout")"
echo "files_store: ok"
