# Runs at install time, after the files are in place: writes the desktop launcher with the
# install folder in it, links the program into bin/, and registers the App Paths entry in the
# installing user's HKEY_LOCAL_MACHINE hive and the log-on autostart entry. Expects BRISVANE_REG (the built brisvane-reg) and
# BRISVANE_DATA (the source data folder).
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(INSTALL_FOLDER "${CMAKE_INSTALL_PREFIX}/lib/brisvane")

configure_file("${BRISVANE_DATA}/brisvane.desktop.in"
    "${prefix}/share/applications/brisvane.desktop" @ONLY)
message(STATUS "Installing: ${prefix}/share/applications/brisvane.desktop")

file(MAKE_DIRECTORY "${prefix}/bin")
file(CREATE_LINK "../lib/brisvane/brisvan" "${prefix}/bin/brisvan" SYMBOLIC)
message(STATUS "Installing: ${prefix}/bin/brisvan -> ../lib/brisvane/brisvan")

# A staged install (DESTDIR) is for packaging: the registry belongs to whoever installs it.
if("$ENV{DESTDIR}" STREQUAL "")
    set(entry "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\brisvan.exe")
    execute_process(COMMAND "${BRISVANE_REG}" add "${entry}" /ve /d "${INSTALL_FOLDER}/brisvan" /f
        RESULT_VARIABLE programResult)
    execute_process(COMMAND "${BRISVANE_REG}" add "${entry}" /v Path /d "${INSTALL_FOLDER}" /f
        RESULT_VARIABLE folderResult)
    if(NOT programResult EQUAL 0 OR NOT folderResult EQUAL 0)
        message(FATAL_ERROR "brisvane-reg could not register the App Paths entry")
    endif()
    message(STATUS "Registered: ${entry} -> ${INSTALL_FOLDER}")

    # The session starts what the Run key names, as Windows does at log-on; the start-with-
    # Windows option of the finish page only writes that key. Installed here rather than at the
    # program's first start so that the program never writes the desktop's own settings.
    if(NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
        set(autostart "$ENV{XDG_CONFIG_HOME}/autostart")
    else()
        set(autostart "$ENV{HOME}/.config/autostart")
    endif()
    configure_file("${BRISVANE_DATA}/brisvane-logon.desktop.in"
        "${autostart}/brisvane-logon.desktop" @ONLY)
    message(STATUS "Installing: ${autostart}/brisvane-logon.desktop")
endif()
