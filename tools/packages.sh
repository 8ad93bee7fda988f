# The Debian packages each command needs; sourced by tools/run.sh and tools/test.sh.
BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev qt6-svg-dev libgl-dev libxcb1-dev openssh-client)
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" openssh-server libnss-wrapper clang-format-14 libglib2.0-bin
    gsettings-desktop-schemas xvfb xauth trayer x11-apps xdotool imagemagick dbus-daemon dbus-bin procps
    dpkg-dev lintian desktop-file-utils appstream man-db systemd qt6-qpa-plugins)
# The sanitizer build and the fuzz targets (clang, its sanitizer and libFuzzer run-times, llvm-symbolizer).
TEST_PACKAGES+=(clang-14 libclang-rt-14-dev llvm-14)
