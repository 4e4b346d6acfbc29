# brisvane_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [WINDOWS])
# One GoogleTest executable, registered with CTest as one test. WINDOWS marks a test that opens
# windows: with Qt it runs on the offscreen platform, so that it needs no display; every such
# test carries the label "windows", by which the Windows tests find the ones that need a display.
function(brisvane_add_test name)
    cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} brisvane_test_support GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    brisvane_test_home(${name})
    if(T_WINDOWS)
        set_tests_properties(${name} PROPERTIES LABELS windows)
        if(BRISVANE_UI_BACKEND STREQUAL "qt")
            set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
            if(BRISVANE_SANITIZE)
                set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp")
            endif()
        endif()
    endif()
endfunction()

# brisvane_test_home(NAME)
# Gives the test a home and XDG folders of its own, BUILD/test-homes/NAME, made afresh before
# the tests run (brisvane_add_test_homes). Whatever a test or what it starts writes there (Qt's
# file dialog settings, fontconfig's cache, the window manager's log) stays out of the home of
# whoever runs the tests, and one run's leftovers never steer the next.
function(brisvane_test_home name)
    set(home "${CMAKE_BINARY_DIR}/test-homes/${name}")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
        "HOME=${home}"
        "XDG_CONFIG_HOME=${home}/.config"
        "XDG_CACHE_HOME=${home}/.cache"
        "XDG_DATA_HOME=${home}/.local/share"
        "XDG_STATE_HOME=${home}/.local/state"
        "XDG_RUNTIME_DIR=${home}/.runtime")
    if(NOT WIN32)
        # Nor does a Wine prefix of the person running the tests steer them.
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
            "WINEPREFIX=unset:" "WINE_PREFIXES=unset:")
    endif()
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED brisvane_test_homes)
    set_property(GLOBAL APPEND PROPERTY BRISVANE_TEST_HOMES ${name})
endfunction()

# brisvane_add_test_homes()
# After every test is added: the test that makes their homes (the fixture each one requires,
# so that `ctest -R` runs it too), and the check that no test runs without one.
function(brisvane_add_test_homes)
    add_test(NAME test_homes_check
        COMMAND ${CMAKE_COMMAND} "-DCTEST=${CMAKE_CTEST_COMMAND}" "-DBUILD=${CMAKE_BINARY_DIR}"
            -P ${PROJECT_SOURCE_DIR}/tests/support/check_test_homes.cmake)
    brisvane_test_home(test_homes_check)

    get_property(names GLOBAL PROPERTY BRISVANE_TEST_HOMES)
    # Commas, not semicolons: a list would be split into several arguments on its way to CTest.
    string(REPLACE ";" "," names "${names}")
    add_test(NAME brisvane_test_homes
        COMMAND ${CMAKE_COMMAND} "-DROOT=${CMAKE_BINARY_DIR}/test-homes" "-DNAMES=${names}"
            -P ${PROJECT_SOURCE_DIR}/cmake/make_test_homes.cmake)
    set_tests_properties(brisvane_test_homes PROPERTIES FIXTURES_SETUP brisvane_test_homes)
endfunction()
