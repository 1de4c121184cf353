# Install rules and CPack settings. A Linux build packages the programs as a Debian package
# (cpack -G DEB); a Windows build packages them in an example station folder (cpack -G ZIP).
# `make package` makes both and checks them with tests/package/check-packages.sh.

set(TORVEN_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TORVEN_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(TORVEN_EXAMPLE_CONFIG ${TORVEN_PACKAGING_DIR}/station/Conf/TORVEN_config.txt)
set(TORVEN_PACKAGE_MAINTAINER "TORVEN Monitor Developers <torven-monitor@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# The version is the program's own, the one its screen shows; the Debian changelog's first
# entry, e.g. "torven-monitor (0.40-1) unstable; urgency=medium", must name it, and adds the
# Debian revision. A version without its entry only warns here, so that builds go on; the
# package check then fails.
set(TORVEN_VERSION_HEADER ${CMAKE_SOURCE_DIR}/src/shell/Program.h)
set(TORVEN_CHANGELOG ${TORVEN_PACKAGING_DIR}/debian/changelog.in)
file(STRINGS ${TORVEN_VERSION_HEADER} version_line REGEX "versionText = \"[^\"]+\"")
string(REGEX MATCH "\"([^\"]+)\"" version_line "${version_line}")
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})
if(NOT CPACK_PACKAGE_VERSION)
    message(FATAL_ERROR "${TORVEN_VERSION_HEADER}: no versionText = \"...\" to name packages by")
endif()
file(STRINGS ${TORVEN_CHANGELOG} changelog_head LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern "${CPACK_PACKAGE_VERSION}")
if(changelog_head MATCHES "^torven-monitor \\(${version_pattern}-([0-9]+)\\) ")
    set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})
else()
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    message(WARNING "${TORVEN_CHANGELOG} must begin with an entry for version "
                    "'${CPACK_PACKAGE_VERSION}' of ${TORVEN_VERSION_HEADER}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TORVEN_VERSION_HEADER}
                                                               ${TORVEN_CHANGELOG})

set(CPACK_PACKAGE_NAME torven-monitor)
set(CPACK_PACKAGE_VENDOR "TORVEN")
set(CPACK_PACKAGE_CONTACT "${TORVEN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "data collection monitor for DI-194RS serial acquisition devices")
set(CPACK_STRIP_FILES ON)
# Installed folders are 0755 whatever the umask of whoever packs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Windows editors expect CR LF line ends: copies source with them, whatever it has.
function(torven_crlf_copy source destination)
    file(READ ${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${destination} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

# gzip -9n, as Debian wants compressed documentation: no name or time stamp in the header, so
# that the same source gives the same package.
function(torven_gzip source destination)
    find_program(TORVEN_GZIP gzip REQUIRED)
    execute_process(COMMAND ${TORVEN_GZIP} -9n INPUT_FILE ${source} OUTPUT_FILE ${destination}
                    COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

# The zip holds a folder with the README and a station ready to be copied into place: the
# programs in bin\, the example configuration, and the folders the monitor works in, which it
# never creates. They are empty: the zip keeps them as folder entries, so that nothing lies
# in ToSend\ for a transfer to pick up, nor in tmp\ where the monitor keeps its files.
# libmicrohttpd is a DLL of its own beside the monitor, which anyone may replace by another
# build of it, as its licence (LGPL) asks; its licence text and the source package it was
# built from (Debian's, unchanged) go with it.
function(torven_install_windows_station)
    set(station station)
    install(TARGETS torven-monitor RUNTIME DESTINATION ${station}/bin)
    install(FILES ${TORVEN_MICROHTTPD_DLL} DESTINATION ${station}/bin)
    torven_crlf_copy(${TORVEN_MICROHTTPD_PREFIX}/share/doc/libmicrohttpd/COPYING
                     ${TORVEN_PACKAGING_OUT}/libmicrohttpd-COPYING.txt)
    install(FILES ${TORVEN_PACKAGING_OUT}/libmicrohttpd-COPYING.txt DESTINATION ${station}/bin)
    install(DIRECTORY ${TORVEN_MICROHTTPD_PREFIX}/share/source/libmicrohttpd/
            DESTINATION ${station}/bin/libmicrohttpd-source)
    if(TARGET di194rs-sim)
        install(TARGETS di194rs-sim RUNTIME DESTINATION ${station}/bin)
    endif()
    torven_crlf_copy(${TORVEN_EXAMPLE_CONFIG} ${TORVEN_PACKAGING_OUT}/TORVEN_config.txt)
    torven_crlf_copy(${TORVEN_PACKAGING_DIR}/station/README.txt
                     ${TORVEN_PACKAGING_OUT}/station-README.txt)
    torven_crlf_copy(${CMAKE_SOURCE_DIR}/README.md ${TORVEN_PACKAGING_OUT}/README.txt)
    install(FILES ${TORVEN_PACKAGING_OUT}/TORVEN_config.txt DESTINATION ${station}/Conf)
    install(FILES ${TORVEN_PACKAGING_OUT}/station-README.txt DESTINATION ${station}
            RENAME README.txt)
    foreach(folder EventLog tmp Data ToSend)
        install(DIRECTORY DESTINATION ${station}/${folder})
    endforeach()
    install(FILES ${TORVEN_PACKAGING_OUT}/README.txt DESTINATION .)
endfunction()

# The unit of contrib/ runs a monitor copied into the station's bin/. The packaged one runs the
# installed program in the same working directory, and its header says how to use it.
function(torven_packaged_unit bindir destination)
    set(source ${CMAKE_SOURCE_DIR}/contrib/torven-monitor.service)
    file(READ ${source} unit)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    string(FIND "${unit}" "[Unit]\n" unit_start)
    if(unit_start LESS 0 OR NOT unit MATCHES "\nExecStart=[^\n]*\n")
        message(FATAL_ERROR "${source}: no [Unit] section or no ExecStart line")
    endif()
    string(SUBSTRING "${unit}" ${unit_start} -1 unit)
    string(REGEX REPLACE "\nExecStart=[^\n]*\n" "\nExecStart=${bindir}/torven-monitor\n"
           unit "${unit}")
    string(REGEX REPLACE "\n(Description=[^\n]*\n)" "\n\\1Documentation=man:torven-monitor(1)\n"
           unit "${unit}")
    file(CONFIGURE OUTPUT ${destination} @ONLY CONTENT
"# Runs ${bindir}/torven-monitor as a service for the station in /srv/torven/station. Make the
# station's folders and its Conf/TORVEN_config.txt first (/usr/share/doc/torven-monitor/
# examples/ has an example), then
#   systemctl enable --now torven-monitor
# For a station elsewhere, `systemctl edit torven-monitor` and set WorkingDirectory to its bin/.
${unit}")
endfunction()

# Debian's places: programs in /usr/bin, the unit where systemd looks for packaged units, the
# README, copyright, changelog and examples in /usr/share/doc/torven-monitor. The udev rule
# is an example: its serial numbers are made up, and the rule an operator writes belongs in
# /etc/udev/rules.d, where a package upgrade leaves it alone.
function(torven_install_debian)
    include(GNUInstallDirs)
    set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/torven-monitor)
    install(TARGETS torven-monitor di194rs-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    torven_packaged_unit(${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
                         ${TORVEN_PACKAGING_OUT}/torven-monitor.service)
    install(FILES ${TORVEN_PACKAGING_OUT}/torven-monitor.service
            DESTINATION lib/systemd/system)
    configure_file(${TORVEN_CHANGELOG} ${TORVEN_PACKAGING_OUT}/changelog.Debian @ONLY)
    torven_gzip(${TORVEN_PACKAGING_OUT}/changelog.Debian
                ${TORVEN_PACKAGING_OUT}/changelog.Debian.gz)
    foreach(page torven-monitor.1 di194rs-sim.1)
        torven_gzip(${TORVEN_PACKAGING_DIR}/man/${page} ${TORVEN_PACKAGING_OUT}/${page}.gz)
        install(FILES ${TORVEN_PACKAGING_OUT}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    install(FILES ${CMAKE_SOURCE_DIR}/README.md ${TORVEN_PACKAGING_DIR}/debian/copyright
                  ${TORVEN_PACKAGING_OUT}/changelog.Debian.gz DESTINATION ${doc})
    install(FILES ${TORVEN_EXAMPLE_CONFIG} ${CMAKE_SOURCE_DIR}/contrib/99-torven-ports.rules
            DESTINATION ${doc}/examples)
    install(FILES ${TORVEN_PACKAGING_DIR}/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME torven-monitor)
endfunction()

# The programs the packages hold, so that `make package` builds only them: configured with
# CMAKE_SKIP_INSTALL_ALL_DEPENDENCY, cpack then builds nothing more.
add_custom_target(packaged-programs)
add_dependencies(packaged-programs torven-monitor)
if(TARGET di194rs-sim)
    add_dependencies(packaged-programs di194rs-sim)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(CPACK_GENERATOR ZIP)
    torven_install_windows_station()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TORVEN_PACKAGE_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_SECTION science)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # Tell systemd of the unit, restart a running service on an upgrade, stop it on removal.
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TORVEN_PACKAGING_DIR}/debian/postinst
        ${TORVEN_PACKAGING_DIR}/debian/prerm ${TORVEN_PACKAGING_DIR}/debian/postrm)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # Debian wants the lines of the long description at most 80 characters long.
    string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
        "The monitor runs unattended on the computer of a monitoring station. It reads"
        "four-channel DI-194RS acquisition devices over serial ports, shows every value"
        "and state on a full-screen text console, records each configured channel as"
        "daily CSV data files with a metadata header, hands finished files over for"
        "transfer and keeps a monthly event log."
        ""
        "The package also holds di194rs-sim, a simulated DI-194RS on a pseudo terminal,"
        "and a systemd unit for a station in /srv/torven/station.")
    torven_install_debian()
endif()

include(CPack)
