#!/usr/bin/env bash
# The whole program, end to end: Vormant on an X display of its own, typed
# into with xdotool, sends its test message to a real aiosmtpd on port 25 of
# 127.0.0.1, the port a server field without a port means. A private network
# namespace keeps port 25 free of whatever the machine runs itself.
#   e2e_port25.sh VORMANT_BINARY SUPPORT_DIR
set -euo pipefail

vormant=$1
support=$2
skip=77

if [ "${VORMANT_E2E_IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare --net true 2>/dev/null; then
        echo "SKIP: private network namespaces are not allowed here (unshare --net failed)"
        exit $skip
    fi
    exec unshare --net env VORMANT_E2E_IN_NAMESPACE=1 bash "$0" "$@"
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d)
pids=()
cleanup() {
    exec 5>&- 2>/dev/null || true # the server's input ends: it stops
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    while ! "$@"; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        sleep 0.1
    done
}

ip link set lo up

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 30 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"

mkdir "$work/mail"
mkfifo "$work/server-input"
/usr/bin/python3 "$support/smtp_sink.py" --host 127.0.0.1 --port 25 --user tester \
    --password secret --dir "$work/mail" <"$work/server-input" >"$work/port" 2>"$work/server.log" &
pids+=($!)
exec 5>"$work/server-input"
wait_for 30 test -s "$work/port" || fail "aiosmtpd did not start: $(cat "$work/server.log")"
[ "$(cat "$work/port")" = 25 ] || fail "aiosmtpd is on port $(cat "$work/port"), not 25"

QT_QPA_PLATFORM=xcb "$vormant" 2>"$work/vormant.log" &
vormant_pid=$!
pids+=($vormant_pid)

visible_windows() {
    xdotool search --onlyvisible --name '^Vormant$' 2>/dev/null || true
}
one_window() { [ "$(visible_windows | wc -l)" -eq 1 ]; }
two_windows() { [ "$(visible_windows | wc -l)" -eq 2 ]; }
wait_for 30 one_window || fail "the window did not show"
window=$(visible_windows)

# The five fields in their Tab order, then Test.
xdotool windowfocus --sync "$window"
xdotool type --delay 5 "Hello from the end-to-end test"
xdotool key Tab
xdotool type --delay 5 "bob@example.com"
xdotool key Tab
xdotool type --delay 5 "tester"
xdotool key Tab
xdotool type --delay 5 "secret"
xdotool key Tab
xdotool type --delay 5 "127.0.0.1"
xdotool key Tab space

wait_for 30 test -e "$work/mail/1.envelope" || fail "no message reached the server: $(cat "$work/server.log")"

printf 'MAIL FROM:<>\nRCPT TO:<bob@example.com>\n' | cmp - "$work/mail/1.envelope" ||
    fail "envelope: $(cat "$work/mail/1.envelope")"
grep -qx "ok $(printf tester | od -An -tx1 | tr -d ' \n') $(printf secret | od -An -tx1 | tr -d ' \n')" \
    "$work/mail/auth.log" || fail "authentication: $(cat "$work/mail/auth.log")"

# The message as stored: the headers, the stamped line, the body.
mapfile -t lines < <(tr -d '\r' <"$work/mail/1.eml")
# Each expected line is a pattern: the date and the Message-ID differ from run to run.
expected=("Date: [MTWFS][a-z][a-z], [0-3][0-9] [A-Z][a-z][a-z] 20[0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9][0-9][0-9][0-9]"
          "From: Vormant <Admin@vormant.invalid>" "To: bob <bob@example.com>" "Subject: Vormant"
          "Message-ID: <?*@vormant.invalid>" "MIME-Version: 1.0"
          "Content-Type: text/plain; charset=UTF-8" "Content-Transfer-Encoding: 7bit" ""
          "Test Message Sent: ?*-?*" "Hello from the end-to-end test" "")
[ ${#lines[@]} -eq ${#expected[@]} ] || fail "message has ${#lines[@]} lines: $(cat -A "$work/mail/1.eml")"
for i in "${!expected[@]}"; do
    # shellcheck disable=SC2053 # the right side is a pattern
    [[ "${lines[$i]}" == ${expected[$i]} ]] || fail "line $i: '${lines[$i]}'"
done
[ "$(grep -c $'\r$' "$work/mail/1.eml")" -eq ${#expected[@]} ] || fail "line ends are not CR LF"

# "Email Sent" shows in a box of its own; Return closes it.
wait_for 20 two_windows || fail "no box after the run"
xdotool key Return
wait_for 20 one_window || fail "the box did not close"
kill -0 "$vormant_pid" || fail "the program ended by itself"

# Exit, in the middle of its button (the frame at 8,8; the button at 352,56, 65 by 25).
xdotool mousemove --window "$window" 392 76 click 1
wait_for 20 bash -c "! kill -0 $vormant_pid 2>/dev/null" || fail "Exit did not end the program"
status=0
wait "$vormant_pid" || status=$?
[ $status -eq 0 ] || fail "the program ended with status $status: $(cat "$work/vormant.log")"

echo "PASS: the message went through aiosmtpd on 127.0.0.1:25"
