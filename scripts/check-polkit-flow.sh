#!/usr/bin/env bash
# A press's talk with Debian's real polkitd and systemd-timedated, with pkttyagent answering the
# password prompt after five seconds of "typing": the first press prompts once, at the
# authorization before the fetch, and its two SetTime calls pass polkit without a prompt; a second
# press prompts no more. Runs in the sandbox (no CAP_SYS_TIME: timedated fails at clock_settime,
# after its polkit check) and in a mount namespace of its own, where a private system bus listens
# at the standard socket (polkit's setuid helper ignores DBUS_SYSTEM_BUS_ADDRESS) and a user with
# a password, in the sudo group, exists. Needs root. Prints every step; fails unless exactly one
# prompt came, at the first authorization, and every SetTime got past polkit.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --inside ]; then
  driver=${DRIVER:-$PWD/build/debug/testing/horalux_clock_press_driver}
  [ -x "$driver" ] || cmake --build --preset debug --target horalux_clock_press_driver >/dev/null
  exec bash scripts/sandbox.sh unshare --mount --propagation private bash "$0" --inside "$driver"
fi
driver=$2
user=horaluxcheck uid=64242

work=$(mktemp -d)
chmod 755 "$work"
cp /etc/passwd /etc/shadow /etc/group "$work/"
echo "$user:x:$uid:$uid::/tmp:/bin/sh" >>"$work/passwd"
echo "$user:$(openssl passwd -6 secret):19000:0:99999:7:::" >>"$work/shadow"
sed -i "s/^\(sudo:x:27:.*\)$/\1,$user/; s/^sudo:x:27:,/sudo:x:27:/" "$work/group"
echo "$user:x:$uid:" >>"$work/group"
for file in passwd shadow group; do mount --bind "$work/$file" "/etc/$file"; done
mount -t tmpfs tmpfs /run/dbus
chmod 755 /run/dbus

cat >"$work/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/> <allow own="*"/>
    <allow send_type="method_call"/> <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/> <allow receive_type="method_return"/>
    <allow receive_type="error"/> <allow receive_type="signal"/>
  </policy>
</busconfig>
EOF
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/run/dbus/system_bus_socket
pids=()
stop() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop EXIT
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile 2>"$work/dbus.log" &
pids+=($!)
sleep 0.5
/usr/lib/polkit-1/polkitd >"$work/polkitd.log" 2>&1 &
pids+=($!)
# timedated asks systemd whether an NTP service runs before it sets anything: a stand-in says no.
/usr/bin/python3 -m dbusmock --template systemd >"$work/systemd-mock.log" 2>&1 &
pids+=($!)
sleep 1.5
gdbus call --system -d org.freedesktop.systemd1 -o /org/freedesktop/systemd1 \
  -m org.freedesktop.DBus.Mock.AddObject /org/freedesktop/systemd1/unit/systemd_2dtimesyncd_2eservice \
  org.freedesktop.systemd1.Unit \
  "{'Id': <'systemd-timesyncd.service'>, 'LoadState': <'loaded'>, 'ActiveState': <'inactive'>, 'UnitFileState': <'disabled'>}" \
  "[]" >/dev/null
/lib/systemd/systemd-timedated >"$work/timedated.log" 2>&1 &
pids+=($!)
sleep 1

status=0
/usr/bin/python3 - "$driver" "$uid" <<'EOF' || status=$?
import os, pty, queue, select, subprocess, sys, threading, time
driver, uid = sys.argv[1], sys.argv[2]
as_user = ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--init-groups"]
press = subprocess.Popen(as_user + [driver], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
pid = press.stdout.readline().split()[1]
lines = queue.Queue()
threading.Thread(target=lambda: [lines.put(line.rstrip()) for line in press.stdout], daemon=True).start()
# pkttyagent reads the password from its terminal.
agent, terminal = pty.fork()
if agent == 0:
    os.execvp("setpriv", as_user + ["/usr/bin/pkttyagent", "--process", pid])
time.sleep(1.5)
prompts = []
def run_press(number):
    print(f"== press {number}", flush=True)
    press.stdin.write("\n"); press.stdin.flush()
    steps, seen, deadline = [], "", time.monotonic() + 60
    while time.monotonic() < deadline:
        if select.select([terminal], [], [], 0.05)[0]:
            try: seen += os.read(terminal, 4096).decode(errors="replace")
            except OSError: pass
            if "Password:" in seen:
                seen = ""
                prompts.append((number, len(steps)))
                print("agent: password prompt; typing for 5 s", flush=True)
                time.sleep(5)
                os.write(terminal, b"secret\n")
        while not lines.empty():
            line = lines.get()
            if line == "press done": return steps
            print("  " + line, flush=True)
            steps.append(line)
    sys.exit("a press did not finish within 60 s")
first, second = run_press(1), run_press(2)
print(f"prompts (press, steps done before): {prompts}")
def passed_polkit(step):  # timedated got past polkit and failed at clock_settime
    return "Operation not permitted" in step
ok = (prompts == [(1, 0)] and first[0].startswith("authorize ok") and second[0].startswith("authorize ok")
      and all(passed_polkit(step) for step in first[1:] + second[1:]))
press.stdin.close(); press.wait(5)
os.kill(agent, 15)
print("PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
EOF
if [ "$status" -ne 0 ]; then
  echo "--- polkitd"; cat "$work/polkitd.log"; echo "--- timedated"; cat "$work/timedated.log"
fi
exit "$status"
