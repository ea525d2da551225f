# The Debian package, made by cpack from the install rules (see package.sh, which
# configures a Release tree for /usr without the program's self-update). CPack rather
# than a debian/ folder: the install rules already say what goes where, and one binary
# package needs neither a source package nor debhelper's build of the whole tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvo-kr90x)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvo)
set(CPACK_PACKAGE_CONTACT
    "Orvo KR90X maintainers <maintainers@users.noreply.c-seed-23fcc303.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the Orvo KR90X pressure tester")
set(CPACK_PACKAGE_DESCRIPTION [=[
Reads the results stored in an Orvo KR90X multi-pressure tester over USB and
shows them as charts: compression per cylinder for petrol and diesel engines,
and pressure curves (common-rail, turbo, FSI, TDI, oil pressure, manometer).
Each result makes a one-page report for the printer or a PDF file.

The command kr90x reads the tester, makes the reports and lists and exports the
workshop records from scripts, with JSON and CSV output, without a display.

The package holds a udev rule that lets the user at the seat (and the group
plugdev) open the tester, and a simulated tester for training.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # orvo-kr90x_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)

# Libraries from the program's own links (dpkg-shlibdeps), plus what it loads or uses
# at run time without linking it: the Arial-metric fonts its windows, charts and
# reports are laid out for, and the Qt SQL driver for the workshop records. Qt's xcb
# and offscreen platform plugins, the TLS backend and the CUPS print plugin come with
# the Qt libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, libqt6sql6-sqlite")
# FTP over TLS checks the update server against the system's trust store unless the
# settings name a CA file of their own. (libsodium comes in through dpkg-shlibdeps, and
# Qt's OpenSSL backend with libqt6network6.) Records shared on a PostgreSQL server need
# Qt's PostgreSQL driver; a PC keeping its own records does without.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates, libqt6sql6-psql")

# One script serves as postinst and postrm: it tells udev about the rule.
foreach(script postinst postrm)
    configure_file(packaging/deb/maintscript ${CMAKE_BINARY_DIR}/packaging/deb/${script} COPYONLY)
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/deb/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
