#!/usr/bin/env bash
# Records what the real ssh client prints, with the runner's own options, against a throw-away sshd on 127.0.0.1.
# The files it writes to tests/ssh/transcripts/ are replayed by the runner tests through a fake ssh. Run it again
# only when ssh's output changes (a new OpenSSH): bash tools/record-ssh-transcripts.sh
# Needs: /usr/sbin/sshd, ssh-keygen, libnss-wrapper, python3 (for the stalled listeners only).
set -euo pipefail
out="$(cd "$(dirname "$0")/../tests/ssh/transcripts" && pwd)"
work="$(mktemp -d)"
nss=/usr/lib/x86_64-linux-gnu/libnss_wrapper.so
user="$(id -un)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    [ -f "$work/sshd.pid" ] && kill "$(cat "$work/sshd.pid")" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

for k in host_key client_key wrong_key; do ssh-keygen -q -t ed25519 -N '' -C recorder -f "$work/$k"; done
cp "$work/client_key.pub" "$work/authorized_keys"
mkdir -p /run/sshd

# A pre-login banner that carries ssh's own phrases, a CR LF line and no final line break (so ssh's next line is
# glued to its last line).
printf '%s\n' \
    '*** Authorised access only. Unauthorised users: Permission denied. ***' \
    'debug1: Entering interactive session.' \
    'debug1: Local forwarding listening on 127.0.0.1 port 1.' \
    'debug1: remote forward success for: listen 1, connect 127.0.0.1:1' >"$work/banner"
printf 'debug1: channel_connect_stdio_fwd: 127.0.0.1:1\r\n' >>"$work/banner"
printf 'Connection refused.' >>"$work/banner"

port="$(free_port)"
cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile $work/sshd.pid
AuthorizedKeysFile $work/authorized_keys
UsePAM no
StrictModes no
PermitRootLogin yes
PasswordAuthentication no
KbdInteractiveAuthentication no
AllowTcpForwarding yes
PermitListen any
PermitOpen any
Banner $work/banner
EOF
/usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log"
sleep 0.5

# "wrong" offers only the key the server refuses; every other name the good one.
cat >"$work/ssh_config" <<EOF
Host wrong
    IdentityFile $work/wrong_key
Host * !wrong
    IdentityFile $work/client_key
Host dual
    HostName dual
Host *
    HostName 127.0.0.1
    Port $port
    User $user
    IdentitiesOnly yes
    IdentityAgent none
    UserKnownHostsFile $work/known_hosts
    GlobalKnownHostsFile /dev/null
    StrictHostKeyChecking accept-new
    UpdateHostKeys no
    BatchMode yes
EOF
# "dual" has an IPv6 address that nothing listens on and then the server's IPv4 address.
printf '::1 dual\n127.0.0.1 dual\n' >"$work/hosts"

closed="$(free_port)"
target="$(free_port)"
python3 -c "import socket,time
s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(('127.0.0.1',$target)); s.listen()
time.sleep(600)" &
pids+=($!)
sleep 2

# record NAME SECONDS ARGS...: runs ssh with the runner's options for up to SECONDS, keeps what it printed by then
# (before it is stopped, so a running ssh's transcript ends where it was) and its exit code ("running" if none).
record() {
    local name="$1" seconds="$2"
    shift 2
    local log="$work/$name.out"
    LD_PRELOAD="$nss" NSS_WRAPPER_HOSTS="$work/hosts" \
        ssh -v -N -o ExitOnForwardFailure=yes -o BatchMode=yes "$@" >"$log" 2>&1 </dev/null &
    local pid=$! waited=0 code=running
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt $((seconds * 10)) ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    sleep 0.2
    cp "$log" "$out/$name.txt"
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        wait "$pid" || true
    else
        wait "$pid" && code=0 || code=$?
    fi
    echo "$name: $code"
}

cfg=(-F "$work/ssh_config")
lport() { echo "127.0.0.1:$(free_port):127.0.0.1:$target"; }

record first-address-refused 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$port" "$user@dual"
record every-address-refused 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$closed" "$user@dual"
record banner-connected 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$port" "$user@127.0.0.1"
record socks-connected 3 -D "127.0.0.1:$(free_port)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$port" \
    "$user@127.0.0.1"
record remote-connected 3 -R "127.0.0.1:$(free_port):127.0.0.1:$target" -o StrictHostKeyChecking=accept-new \
    "${cfg[@]}" -p "$port" "$user@127.0.0.1"
record wrong-key 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$port" "$user@wrong"
record jump-connected 5 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -J "$user@jump:$port" \
    -p "$port" "$user@127.0.0.1"
record jump-target-refuses-key 5 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" \
    -J "$user@jump:$port" -p "$port" "$user@wrong"
record jump-target-refuses-connection 5 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" \
    -J "$user@jump:$port" -p "$closed" "$user@127.0.0.1"

# Both loopback addresses of one port taken, as by another program.
python3 -c "import socket,time
s=socket.socket(); s.bind(('127.0.0.1',0)); s.listen(); port=s.getsockname()[1]
t=socket.socket(socket.AF_INET6); t.bind(('::1',port)); t.listen()
open('$work/busy','w').write(str(port)); time.sleep(600)" &
pids+=($!)
while [ ! -s "$work/busy" ]; do sleep 0.1; done
busy="$(cat "$work/busy")"
record busy-local-port 3 -L "127.0.0.1:$busy:127.0.0.1:$target" -o StrictHostKeyChecking=accept-new "${cfg[@]}" \
    -p "$port" "$user@127.0.0.1"
record busy-remote-port 3 -R "127.0.0.1:$busy:127.0.0.1:$target" -o StrictHostKeyChecking=accept-new "${cfg[@]}" \
    -p "$port" "$user@127.0.0.1"

# A label longer than DNS allows in the reserved .invalid domain: rejected before any query leaves the machine.
record unknown-host 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new -F /dev/null -p "$port" \
    "$(printf 'x%.0s' $(seq 64)).invalid"

printf '[127.0.0.1]:%s ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdD7y3aLq454yWDpDMBWmDIRMDRnERyXl7cGk8Qd2dX\n' "$port" \
    >"$work/changed_hosts"
record host-key-changed 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" \
    -o UserKnownHostsFile="$work/changed_hosts" -p "$port" "$user@127.0.0.1"

silent="$(free_port)"
python3 -c "import socket,time
s=socket.socket(); s.bind(('127.0.0.1',$silent)); s.listen(); c=s.accept(); time.sleep(600)" &
pids+=($!)
talker="$(free_port)"
python3 -c "import socket,time
s=socket.socket(); s.bind(('127.0.0.1',$talker)); s.listen(); c,_=s.accept(); c.sendall(b'SSH-2.0-OpenSSH_9.2p1\r\n')
time.sleep(600)" &
pids+=($!)
# Text lines before the version (allowed by the protocol) that carry ssh's phrases, then the server hangs up.
chatty="$(free_port)"
python3 -c "import socket,time
s=socket.socket(); s.bind(('127.0.0.1',$chatty)); s.listen(); c,_=s.accept()
c.sendall(b'Permission denied: debug1: Entering interactive session.\\r\\n'); time.sleep(0.5); c.close(); time.sleep(600)" &
pids+=($!)
sleep 2
record text-before-version 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$chatty" \
    "$user@127.0.0.1"
record silent-server 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$silent" "$user@127.0.0.1"
record stalled-after-version 3 -L "$(lport)" -o StrictHostKeyChecking=accept-new "${cfg[@]}" -p "$talker" \
    "$user@127.0.0.1"
