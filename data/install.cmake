# Runs at install time, after the files are in place: writes the desktop launcher with the
# install folder in it, links the program and brisvane-reg into bin/, registers the program in
# the installing user's HKEY_LOCAL_MACHINE hive (register.cmake) and adds the log-on autostart
# entry. Expects BRISVANE_REG (the built brisvane-reg) and BRISVANE_DATA (the source data
# folder).
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(INSTALL_FOLDER "${CMAKE_INSTALL_PREFIX}/lib/brisvane")

configure_file("${BRISVANE_DATA}/brisvane.desktop.in"
    "${prefix}/share/applications/brisvane.desktop" @ONLY)
message(STATUS "Installing: ${prefix}/share/applications/brisvane.desktop")

file(MAKE_DIRECTORY "${prefix}/bin")
foreach(program brisvan brisvane-reg)
    file(CREATE_LINK "../lib/brisvane/${program}" "${prefix}/bin/${program}" SYMBOLIC)
    message(STATUS "Installing: ${prefix}/bin/${program} -> ../lib/brisvane/${program}")
endforeach()

# A staged install (DESTDIR) is for packaging: the registry belongs to whoever installs it.
if("$ENV{DESTDIR}" STREQUAL "")
    include("${BRISVANE_DATA}/register.cmake")

    # The session starts what the Run keys name, as Windows does at log-on; the start-with-
    # Windows option of the finish page only writes those keys. Installed here rather than at the
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
