# brisvane_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [WINDOWS])
# One GoogleTest executable, registered with CTest as one test. WINDOWS marks a test that opens
# windows: with Qt it runs on the offscreen platform, so that it needs no display; every such
# test carries the label "windows", by which the Windows tests find the ones that need a display.
function(brisvane_add_test name)
    cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} brisvane_test_support GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
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
