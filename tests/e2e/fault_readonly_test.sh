#!/usr/bin/env bash
# The editor in a directory that it cannot write: the working directory is
# bind-mounted read-only over itself in a private mount namespace of the
# editor (unshare -m as root, unshare -rm as a user; we run as root, so
# permissions would not stop a save). Store All and Mix save nothing, name
# the files not saved and why, start no engine, and leave the three files
# byte-identical. Where no mount namespace can be made, the test says so
# and is skipped.
source "$(dirname "$0")/lib.sh"
if unshare -m true 2>/dev/null; then NS="unshare -m"
elif unshare -rm true 2>/dev/null; then NS="unshare -rm"
else echo "fault_readonly: skipped: no private mount namespace can be made here"; exit 0
fi
e2e_setup
demo_files .before
# A stand-in engine, outside the read-only directory, that would leave a
# mark beside itself (it must never run).
stand_in_engine <<<'#!/bin/sh
touch "$(dirname "$0")/ran"'

# The outputs are opened before the mount, so they stay writable.
orvane_apart
( cd "$WORK" && PATH="$ENGINE:$PATH" exec $NS sh -c \
    'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && cd "$1" && exec "$2"' \
    sh "$WORK" "$E2E_OWN/orvane" ) >"$WORK/.stdout" 2>"$WORK/.stderr" &
ORVANE_PID=$!
window_id Orvane >/dev/null

# The folder holds a mix this run did not recall: the store asks first.
keys_to Orvane ctrl+s
answer "Replace mix files" other
for i in $(seq 1 50); do grep -q "faders.txt not saved" "$WORK/.stdout" && break; sleep 0.1; done
for f in prefs tracks faders; do
  grep -qx "$f.txt not saved: Read-only file system" "$WORK/.stdout" || fail "$f.txt: $(cat "$WORK/.stdout" "$WORK/.stderr")"
done
sleep 0.3
screenshot Orvane fault-readonly-store-all.png

keys_to Orvane ctrl+m
answer "Replace mix files" other
for i in $(seq 1 50); do grep -q "Mix not started" "$WORK/.stdout" && break; sleep 0.1; done
grep -qx "Mix not started: prefs.txt, tracks.txt, faders.txt not saved (Read-only file system)" "$WORK/.stdout" \
  || fail "Mix: $(cat "$WORK/.stdout")"
sleep 0.3
screenshot Orvane fault-readonly-mix.png
[ -e "$ENGINE/ran" ] && fail "the engine was started"

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "exit status $ORVANE_STATUS"
(cd "$WORK" && sha256sum -c --quiet .before) || fail "a previous file changed"
left=$(cd "$WORK" && ls -A | grep -v '^\.std\|^\.before' | tr '\n' ' ')
[ "$left" = "faders.txt prefs.txt tracks.txt " ] || fail "files left: $left"
echo "fault_readonly: ok"
