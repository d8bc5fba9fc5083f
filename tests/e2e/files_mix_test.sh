#!/usr/bin/env bash
# Ctrl+m saves the three files and runs a stand-in vorlax4 found on the
# search path, in the working directory; an engine that fails is reported.
source "$(dirname "$0")/lib.sh"
e2e_setup
stand_in_engine <<'SH'
#!/bin/sh
pwd > ran-in.txt
cat faders.txt tracks.txt prefs.txt > given.txt
[ -e fail-next ] && exit 3
exit 0
SH
E2E_PATH=$ENGINE start_orvane

keys_to Orvane ctrl+m
wait_file ran-in.txt
sleep 0.3
screenshot Orvane files-mix-complete.png
[ "$(cat "$WORK/ran-in.txt")" = "$(cd "$WORK" && pwd -P)" ] || fail "ran in $(cat "$WORK/ran-in.txt")"
(cd "$WORK" && cat faders.txt tracks.txt prefs.txt | cmp -s - given.txt) || fail "the engine ran before the files were saved"
grep -q "Mix failed" "$WORK/.stdout" && fail "failure reported: $(cat "$WORK/.stdout")"

touch "$WORK/fail-next"
rm "$WORK/ran-in.txt"
keys_to Orvane ctrl+m
wait_file ran-in.txt
for i in $(seq 1 50); do grep -q "Mix failed" "$WORK/.stdout" && break; sleep 0.1; done
grep -qx "Mix failed: vorlax4 exit status 3" "$WORK/.stdout" || fail "no failure reported: $(cat "$WORK/.stdout")"
screenshot Orvane files-mix-failed.png

keys_to Orvane ctrl+q
wait_exit
echo "files_mix: ok"
