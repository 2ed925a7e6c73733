#!/bin/sh
# Stands in for the OpenVPN executable. Writes to $FAKE_OPENVPN_RECORD its
# working folder, its arguments, and the mode and content of every argument
# that names a file; then runs until stopped. With FAKE_OPENVPN_IGNORE_TERM=1
# it ignores SIGTERM, as a stuck tunnel program would.
record=${FAKE_OPENVPN_RECORD:?}
# Before the record shows it started: a stop may follow at once.
if [ "${FAKE_OPENVPN_IGNORE_TERM:-0}" = 1 ]; then
    trap '' TERM
else
    trap 'echo terminated >> "$record"; exit 0' TERM
fi
{
    echo "cwd=$(pwd)"
    for argument in "$@"; do
        echo "arg=$argument"
    done
    for argument in "$@"; do
        if [ -f "$argument" ]; then
            echo "mode=$(stat -c %a "$argument") $argument"
            echo "content=$(base64 -w0 < "$argument") $argument"
        fi
    done
    echo "end"
} > "$record.tmp"
# The log first: once the record shows "end", a stop may come at once.
previous=""
for argument in "$@"; do
    [ "$previous" = "--log" ] && echo "log line" >> "$argument"
    previous=$argument
done
mv "$record.tmp" "$record"
while :; do
    sleep 0.05
done
