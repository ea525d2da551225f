# What `cmake --install` puts on a machine, and so what the Debian package holds.

# Installed directories are 0755 whatever the umask of the one who installs or packages.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The build names the program after the file its update flows replace; installed, it
# takes the name a Linux user types. install(TARGETS) cannot rename, so the program is
# installed as a file and stripped here when asked (cmake --install --strip, cpack), as
# Debian's dh_strip does it.
install(PROGRAMS $<TARGET_FILE:Orvo_KR90X> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME orvo-kr90x)
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
            --remove-section=.comment --remove-section=.note
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/orvo-kr90x\"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()")

# The command line beside the window, with its completion where bash-completion looks
# for it by the command's name.
install(TARGETS kr90x RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/kr90x.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kr90x)

install(FILES packaging/orvo-kr90x.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/com.orvo.kr90x.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(KR90X_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES resources/icon.svg DESTINATION ${KR90X_ICON_DIR}/scalable/apps RENAME orvo-kr90x.svg)
install(FILES resources/icon.png DESTINATION ${KR90X_ICON_DIR}/64x64/apps RENAME orvo-kr90x.png)
foreach(size 16 24 32 48 128 256)
    install(FILES resources/icons/orvo-kr90x-${size}.png
        DESTINATION ${KR90X_ICON_DIR}/${size}x${size}/apps RENAME orvo-kr90x.png)
endforeach()

# Manual pages and the Debian changelog are installed compressed, without a time stamp
# in the gzip header (so that the same sources give the same package).
function(kr90x_gzip source output)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${source})
    get_filename_component(dir ${output} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND gzip -9n INPUT_FILE ${PROJECT_SOURCE_DIR}/${source}
        OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
kr90x_gzip(packaging/orvo-kr90x.1 ${CMAKE_BINARY_DIR}/packaging/orvo-kr90x.1.gz)
kr90x_gzip(packaging/kr90x.1 ${CMAKE_BINARY_DIR}/packaging/kr90x.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/orvo-kr90x.1.gz ${CMAKE_BINARY_DIR}/packaging/kr90x.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
kr90x_gzip(packaging/deb/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES packaging/deb/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvo-kr90x)

# udev reads rules from /usr/lib/udev/rules.d (Debian 12's udev.pc still names /lib/udev,
# which merged /usr makes the same folder) and /etc, never from /usr/local.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(KR90X_UDEV_RULES_DIR lib/udev/rules.d)
else()
    set(KR90X_UDEV_RULES_DIR /etc/udev/rules.d)
endif()
install(FILES packaging/70-orvo-kr90x.rules DESTINATION ${KR90X_UDEV_RULES_DIR})
