# The sanitized test run. Every test, and every program a test starts (drvmap, sharemount-smbprobe), writes its
# sanitizer reports into one folder of the build tree; a check after the last test prints them and fails, so that
# a report in a child whose exit status no test looks at still fails the run. Included at the end of
# tests/CMakeLists.txt, where the tests it sets up live.
set(SANITIZER_REPORTS ${CMAKE_BINARY_DIR}/sanitizer-reports)
set(SANITIZER_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/reports)
file(MAKE_DIRECTORY ${SANITIZER_REPORTS})
add_test(NAME sanitizer_reports_clear COMMAND ${SANITIZER_SCRIPT} clear ${SANITIZER_REPORTS})
add_test(NAME sanitizer_reports COMMAND ${SANITIZER_SCRIPT} check ${SANITIZER_REPORTS})
set_tests_properties(sanitizer_reports_clear PROPERTIES FIXTURES_SETUP sanitizer_reports)
set_tests_properties(sanitizer_reports PROPERTIES FIXTURES_CLEANUP sanitizer_reports)

# The first error ends the program that makes it; reports are named after the program and its process id. The
# three runtimes share these settings and each reads its own variable, so all three carry them.
set(SANITIZER_COMMON "halt_on_error=1:log_path=${SANITIZER_REPORTS}/report:log_exe_name=1")
set(SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=${SANITIZER_COMMON}:detect_leaks=1:check_initialization_order=1:strict_init_order=1"
    "UBSAN_OPTIONS=${SANITIZER_COMMON}:print_stacktrace=1"
    "LSAN_OPTIONS=${SANITIZER_COMMON}:suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")

# Runs every test of the calling folder under these settings, inside the fixture whose cleanup checks the reports.
function(sharemount_sanitized_tests)
    get_property(tests DIRECTORY PROPERTY TESTS)
    list(REMOVE_ITEM tests sanitizer_reports_clear sanitizer_reports)
    foreach(test IN LISTS tests)
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${SANITIZER_ENVIRONMENT})
        set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED sanitizer_reports)
    endforeach()
endfunction()

# libFuzzer comes with clang.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_subdirectory(fuzz)
endif()
# At the end of the folder, so that tests added after this point are covered too.
cmake_language(DEFER CALL sharemount_sanitized_tests)
