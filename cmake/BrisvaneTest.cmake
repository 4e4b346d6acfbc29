# brisvane_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# One GoogleTest executable, registered with CTest as one test. QT runs it on the offscreen
# platform so that window tests need no display.
function(brisvane_add_test name)
    cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} brisvane_test_support GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    if(T_QT)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
        if(BRISVANE_SANITIZE)
            set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp")
        endif()
    endif()
endfunction()
