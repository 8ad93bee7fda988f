#!/usr/bin/env bash
# Builds the Debian package from this build folder with cpack and checks it: lintian finds no errors, the desktop
# entry, AppStream metadata, manual page and user units pass their validators. Then, as root, installs it with apt,
# runs the installed program (a regular build; the command-line test's `up` case against a throw-away sshd) and
# removes it again.
# Usage: package_check.sh <build folder> <tst_command_line_sshd> <expected --version line>
set -u
build=$1
up_check=$2
expected_version=$3
out=$build/package
fail() {
    echo "FAIL: $*"
    exit 1
}
skip() {
    [ "${CI:-}" = true ] && fail "$* (CI needs it)"
    echo "*** SKIPPED: $* ***"
    exit 77
}

for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null 2>&1 || skip "the package check needs $tool (tools/packages.sh lists it)"
done

work=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        echo "--- removing the package again"
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq flumewire >"$work/purge.log" 2>&1 || cat "$work/purge.log"
    fi
    rm -rf "$work"
    [ -n "$installed" ] && [ -e /usr/bin/flumewire ] && fail "the package could not be removed again"
}
trap cleanup EXIT

rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" 2>&1 ||
    fail "cpack did not build the package: $(cat "$work/cpack.log")"
debs=("$out"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $out, found: ${debs[*]}"
deb=${debs[0]}
for dependency in openssh-client libqt6core6 libqt6widgets6; do
    dpkg-deb -f "$deb" Depends | grep -q "\b$dependency\b" ||
        fail "the package does not depend on $dependency: $(dpkg-deb -f "$deb" Depends)"
done

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

root=$work/root
dpkg-deb -x "$deb" "$root"
for path in usr/bin/flumewire usr/libexec/flumewire/flumewire-tray usr/share/applications/flumewire.desktop \
    usr/share/metainfo/com.brindlecot.flumewire.metainfo.xml usr/share/man/man1/flumewire.1.gz \
    usr/share/bash-completion/completions/flumewire usr/lib/systemd/user/flumewire-up{@,}.service \
    usr/share/doc/flumewire/copyright usr/share/icons/hicolor/scalable/apps/flumewire.svg \
    usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256,512x512}/apps/flumewire.png; do
    [ -s "$root/$path" ] || fail "the package lacks /$path"
done
grep -q "^ExecStart=/usr/bin/flumewire up" "$root/usr/lib/systemd/user/flumewire-up@.service" ||
    fail "the user unit does not run /usr/bin/flumewire"

desktop-file-validate "$root/usr/share/applications/flumewire.desktop" || fail "desktop-file-validate"
appstreamcli validate-tree --no-net --explain "$root" || fail "appstreamcli validate-tree"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/flumewire.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "the manual page does not render cleanly: $man_warnings"

[ "$(id -u)" -eq 0 ] || skip "installing the package needs root; the package itself passed its checks"
if dpkg-query -W -f='${Status}' flumewire 2>/dev/null | grep -q 'install ok installed'; then
    skip "flumewire is installed on this machine already; not replacing it with the test package"
fi

# Everything it depends on must be installed already (tools/packages.sh): the check downloads nothing.
others=$(apt-get install -s "$deb" 2>&1 | sed -n 's/^Inst \([^ ]*\).*/\1/p' | grep -vx flumewire)
[ -z "$others" ] || fail "installing the package would download $(echo $others); install them first"
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/install.log" 2>&1 ||
    fail "apt-get install of the package: $(cat "$work/install.log")"
version=$(/usr/bin/flumewire --version)
[ "$version" = "$expected_version" ] || fail "the installed program says '$version', expected '$expected_version'"

if command -v systemd-analyze >/dev/null 2>&1; then
    # A template is verified through an instance of it.
    units=$work/units
    mkdir -m 700 -p "$units" "$work/runtime"
    cp /usr/lib/systemd/user/flumewire-up@.service "$units/flumewire-up@pkg-check.service"
    cp /usr/lib/systemd/user/flumewire-up.service "$units/"
    for unit in "$units"/*.service; do
        verify=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user verify --man=no "$unit" 2>&1) &&
            [ -z "$verify" ] || fail "systemd-analyze verify $(basename "$unit"): $verify"
    done
else
    echo "(systemd-analyze is not installed: units not verified)"
fi

FLUMEWIRE_INSTALLED=/usr/bin/flumewire "$up_check" upConnectsOnceTheServerIsUpAndStopsOnSigterm ||
    fail "flumewire up with the installed program"
echo "package checks passed"
