# Registers an installed Brisvane in the installing user's HKEY_LOCAL_MACHINE hive, as the
# Windows installer did: the App Paths entry that names the program and its install folder, and
# the Run key, which every Windows system has and which the finish page's start-with-Windows
# option opens without creating it. An existing Run key keeps its values.
# Expects BRISVANE_REG (the built brisvane-reg) and INSTALL_FOLDER; install.cmake includes it,
# and it also runs on its own: cmake -DBRISVANE_REG=... -DINSTALL_FOLDER=... -P register.cmake
foreach(required BRISVANE_REG INSTALL_FOLDER)
    if("${${required}}" STREQUAL "")
        message(FATAL_ERROR "register.cmake needs ${required}")
    endif()
endforeach()

set(appPaths "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\brisvan.exe")
set(runKey "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run")
execute_process(COMMAND "${BRISVANE_REG}" add "${appPaths}" /ve /d "${INSTALL_FOLDER}/brisvan" /f
    RESULT_VARIABLE programResult OUTPUT_QUIET)
execute_process(COMMAND "${BRISVANE_REG}" add "${appPaths}" /v Path /d "${INSTALL_FOLDER}" /f
    RESULT_VARIABLE folderResult OUTPUT_QUIET)
if(NOT programResult EQUAL 0 OR NOT folderResult EQUAL 0)
    message(FATAL_ERROR "brisvane-reg could not register the App Paths entry")
endif()
message(STATUS "Registered: ${appPaths} -> ${INSTALL_FOLDER}")

execute_process(COMMAND "${BRISVANE_REG}" add "${runKey}" /f
    RESULT_VARIABLE runResult OUTPUT_QUIET)
if(NOT runResult EQUAL 0)
    message(FATAL_ERROR "brisvane-reg could not create the Run key")
endif()
message(STATUS "Registered: ${runKey}")
