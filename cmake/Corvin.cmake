# Shared build helpers: warnings, sanitizers, test and fuzz registration.
include_guard(GLOBAL)

# MSVC (a Windows build of the program) takes its own spelling.
if(MSVC)
    set(CORVIN_WARNINGS /W4 /permissive-)
    set(CORVIN_WERROR_FLAG /WX)
else()
    set(CORVIN_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)
    set(CORVIN_WERROR_FLAG -Werror)
endif()

function(corvin_warnings target)
    target_compile_options(${target} PRIVATE ${CORVIN_WARNINGS})
    if(CORVIN_WERROR)
        target_compile_options(${target} PRIVATE ${CORVIN_WERROR_FLAG})
    endif()
endfunction()

# Environment every test runs in: simulated ports only, converter discovery on
# loopback only, Qt without a display. The discovery port is one that no lab
# uses: tests run in parallel, and one that expects no converters must not
# hear the simulated modules of another (each lab takes a free port of its
# own unless its file names one).
set(CORVIN_TEST_ENV
    "KORALINK_LAN_TARGETS=127.255.255.255:50009"
    "KORALINK_PORTMAP_ONLY=1"
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    # fontconfig, loaded by Qt, keeps its caches for the life of the process.
    # print_suppressions=0: a command a test runs must not add the report to
    # its standard error, which the tests read.
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/ui/toolkit/qt-lsan.supp:print_suppressions=0")

# corvin_static_runtime(target): a program or DLL built with MinGW carries
# the compiler's run-time (libgcc, libstdc++, winpthread) inside itself, so
# that it runs on a Windows without them. No-op elsewhere.
function(corvin_static_runtime target)
    if(MINGW)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# corvin_add_gtest(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV K=V ...] [TIMEOUT s])
# Without CORVIN_TESTS the target is declared but never built, so that the
# callers' further settings on it still apply.
function(corvin_add_gtest name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    if(NOT CORVIN_TESTS)
        add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} corvin_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
    corvin_warnings(${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    # gtest_discover_tests hands PROPERTIES on as a flat list, so an
    # ENVIRONMENT of several entries arrives cut to its first one. Run the
    # test (and its discovery) through "cmake -E env" instead.
    set(launcher ${CMAKE_COMMAND} -E env ${CORVIN_TEST_ENV} ${T_ENV})
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${launcher}")
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# corvin_add_fuzzer(name SOURCES a.cpp LIBS lib1 [CORPUS dir])
# Built only with -DCORVIN_FUZZ=ON and clang; scripts/ci.d runs every target
# listed in ${CMAKE_BINARY_DIR}/fuzzers/ for a short fixed time. The seed
# corpus is CORPUS, else corpus/<name>/ beside the CMakeLists.txt, else
# corpus/ there. (The whole fuzz build is compiled with coverage and
# sanitizers, see CMakeLists.txt: a target sees into the libraries it links.)
function(corvin_add_fuzzer name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT CORVIN_FUZZ)
        return()
    endif()
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    set(corpus "")
    if(F_CORPUS)
        set(corpus "${F_CORPUS}")
    elseif(IS_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
        set(corpus "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
    elseif(IS_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/corpus")
        set(corpus "${CMAKE_CURRENT_SOURCE_DIR}/corpus")
    endif()
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/fuzzers/${name}.txt"
         CONTENT "$<TARGET_FILE:${name}>|${corpus}\n")
endfunction()
