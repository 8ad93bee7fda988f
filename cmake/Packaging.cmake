# `cpack -G DEB` in a build folder writes flumewire_<version>-<build>_<arch>.deb from the install rules: the program
# in /usr/bin, its data, icons, desktop entry, metadata, manual page, completion and user units. Dependencies on the
# shared libraries (Qt and the C++ runtime) are found by dpkg-shlibdeps; the rest are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flumewire)
set(CPACK_PACKAGE_VENDOR Brindlecot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${FLUMEWIRE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps SSH port-forwarding tunnels up from the system tray")
# Lines as they stand in the control file (Debian wants them under 80 columns); an empty line starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION [=[
Flumewire runs local forwards, remote forwards and SOCKS proxies as children
of the system ssh client and reads its verbose output to show whether each
tunnel is connecting, connected or failed, and why. It reconnects dropped
tunnels with back-off, fails over to a backup server, samples the latency of
local forwards, can point the desktop's SOCKS proxy at a tunnel and imports
forwards from ~/.ssh/config.

Without a desktop, "flumewire up" keeps tunnels up from a terminal or as a
systemd user service.]=])

# Installs under DESTDIR with the real prefix, so files written at install time (the user units) name /usr/bin.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${FLUMEWIRE_VERSION_BUILD})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ssh runs every tunnel; the Qt platform plugins let the tray application open a display at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "openssh-client")
if(FLUMEWIRE_UI)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
