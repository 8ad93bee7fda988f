#!/bin/sh
# Writes the manual page and its gzip copy: the template's fixed sections, with @COMMANDS@ replaced by the command
# and option list of the program's --help text and @VERSION@ by the version.
# Usage: make-manpage.sh <flumewire> <template> <output> <version>
set -eu
program=$1
template=$2
output=$3
version=$4

help=$("$program" --help)
commands=$(printf '%s\n' "$help" | awk '
    # Entries follow "Commands:": "  NAME ARGS   description", continued on lines indented further.
    function troff(text, minus) {
        gsub(/\\/, "\\e", text)
        if (minus)
            gsub(/-/, "\\-", text)
        else
            gsub(/--/, "\\-\\-", text)
        sub(/^[.'"'"']/, "\\\\\\&&", text)
        return text
    }
    function flush() {
        if (synopsis == "")
            return
        name = synopsis; sub(/ .*/, "", name)
        args = substr(synopsis, length(name) + 2)
        if (name ~ /^-/ && !options) {
            print ".SH OPTIONS"
            options = 1
        }
        print ".TP"
        print "\\fB" troff(name, 1) "\\fR" (args == "" ? "" : " " troff(args, 1))
        print troff(description, 0)
        synopsis = ""
    }
    /^Commands:/ { listing = 1; next }
    !listing { next }
    /^  [^ ]/ {
        flush()
        line = substr($0, 3)
        split_at = index(line, "  ")
        if (split_at) {
            synopsis = substr(line, 1, split_at - 1)
            description = substr(line, split_at); sub(/^ +/, "", description)
        } else {
            synopsis = line
            description = ""
        }
        next
    }
    /^   +[^ ]/ {
        more = $0; sub(/^ +/, "", more)
        description = description == "" ? more : description " " more
    }
    END { flush() }
')
[ -n "$commands" ] || { echo "make-manpage.sh: no commands in the --help text of $program" >&2; exit 1; }

printf '%s\n' "$commands" >"$output.commands"
awk -v commands="$output.commands" -v version="$version" '
    $0 == "@COMMANDS@" { while ((getline line < commands) > 0) print line; next }
    { gsub(/@VERSION@/, version); print }
' "$template" >"$output"
rm -f "$output.commands"
gzip -9nc "$output" >"$output.gz"
