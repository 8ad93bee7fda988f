#!/usr/bin/env bash
# Drives the bash completion against the built program with a tunnels file of our own: commands, per-command options,
# tunnel ids where a command takes them (once for a single id, again and again for a list), file names for import.
# Usage: completion_check.sh <completion file> <flumewire>
set -u
completion=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A build-tree program is a development build: its tunnels live in Flumewire-Dev. Candidates are compared sorted.
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config LC_ALL=C
mkdir -p "$XDG_DATA_HOME/Flumewire-Dev" "$XDG_CONFIG_HOME" "$work/files"
cat >"$XDG_DATA_HOME/Flumewire-Dev/tunnels.json" <<'JSON'
[{"id":"db-main","name":"Database","type":"L","host":"127.0.0.1","user":"","sshPort":"1","bindPort":"5432",
  "targetPort":"5432","autostart":false,"extra":""},
 {"id":"web","name":"Web","type":"SOCKS","host":"127.0.0.1","user":"","sshPort":"1","bindPort":"1080",
  "targetPort":"","autostart":false,"extra":""}]
JSON
touch "$work/files/ssh_config" "$work/files/other"

# shellcheck source=/dev/null
source "$completion"
failures=0
# expect "WORDS ON THE LINE" "EXPECTED CANDIDATES" (the last word is the one being completed; "" for a new word)
expect() {
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$program
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _flumewire
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd" " -)
    [[ $got == "$2" ]] && return
    echo "FAIL: completing '$1': got '$got', expected '$2'"
    failures=$((failures + 1))
}

expect "flumewire up db-main " "db-main web"
expect "flumewire up --" "--attempts --verbose"
expect "flumewire args --backup w" "web"
expect "flumewire args web " ""
expect "flumewire import --" "--dry-run --json"
expect "flumewire nonsense " ""
expect "flumewire st" "start status stop"
expect "flumewire status --f" "--follow --format"

# Every command of --help is offered at the first word, with the program's own options.
expect "flumewire " "--help --version $("$program" --help | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p' | sort | paste -sd" " -)"

# File names are completed in the current folder (not in a subshell: its failures would be lost).
cd "$work/files" || exit 1
expect "flumewire import ssh" "ssh_config"
[ "$failures" -eq 0 ] || exit 1
echo "bash completion: all cases passed"
