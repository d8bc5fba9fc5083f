#!/usr/bin/env bash
# A save onto a full disk (a file-size limit of 0, SIGXFSZ ignored) leaves
# the previous files byte-identical, leaves no temporary file, and says on
# standard output which files were not saved.
source "$(dirname "$0")/lib.sh"
e2e_setup
cp "$ORVANE_SRC/examples/demo/"*.txt "$WORK/"
(cd "$WORK" && sha256sum faders.txt tracks.txt prefs.txt) >"$WORK/.before"

# The limit applies to the editor alone; its output goes through a pipe.
( cd "$WORK" && trap '' XFSZ && ulimit -f 0 && exec "$ORVANE_BIN/orvane" ) \
  > >(cat >"$WORK/.stdout") 2>"$WORK/.stderr" &
ORVANE_PID=$!
window_id Orvane >/dev/null

# The folder holds a mix this run did not recall: the store asks first.
keys_to Orvane ctrl+s
answer "Replace mix files" other
for i in $(seq 1 50); do grep -q "faders.txt not saved" "$WORK/.stdout" && break; sleep 0.1; done
grep -qx "faders.txt not saved: File too large" "$WORK/.stdout" || fail "no report: $(cat "$WORK/.stdout")"
grep -qx "prefs.txt not saved: File too large" "$WORK/.stdout" || fail "prefs.txt: $(cat "$WORK/.stdout")"
sleep 0.3
screenshot Orvane files-disk-full.png
(cd "$WORK" && sha256sum -c --quiet .before) || fail "a previous file changed"
left=$(cd "$WORK" && ls -A | grep -v '^\.std\|^\.before' | tr '\n' ' ')
[ "$left" = "faders.txt prefs.txt tracks.txt " ] || fail "files left: $left"

keys_to Orvane ctrl+q
wait_exit
echo "files_diskfull: ok"
