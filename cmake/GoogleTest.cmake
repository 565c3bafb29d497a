# GoogleTest from Debian's source package, built by whichever toolchain configures this tree.
set(PROJECT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${PROJECT_GTEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${PROJECT_GTEST_SOURCE}; run scripts/deps")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
if(MINGW)
    # The Windows build's C++ library has no threads; cmake/gtest_port stands in where
    # GoogleTest would need them. Its header must come before GoogleTest's own include folder
    # for GoogleTest and for every test program, hence a folder-wide setting.
    include_directories(BEFORE ${CMAKE_SOURCE_DIR}/cmake/gtest_port)
endif()
add_subdirectory("${PROJECT_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
if(MINGW)
    target_sources(gtest PRIVATE ${CMAKE_SOURCE_DIR}/cmake/gtest_port/gtest_notification.cpp)
endif()

# project_add_test(NAME SOURCES src... [LIBRARIES lib...] [LABELS label...])
# One test program registered as one CTest test, so that a Windows program starts only once
# under Wine. Arguments after the program come from ARGS.
function(project_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBRARIES;LABELS;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest_main)
    if(TARGET test_prefix)
        target_link_libraries(${name} PRIVATE test_prefix)
    endif()
    add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# project_add_fuzzer(NAME SOURCES src... [LIBRARIES lib...] CORPUS dir)
# The sources define LLVMFuzzerTestOneInput. In the fuzz preset (clang, PROJECT_FUZZ) this
# builds a libFuzzer program for scripts/fuzz; in every other native build it builds a program
# that replays each file of the corpus once, registered as a test.
function(project_add_fuzzer name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBRARIES})
    if(PROJECT_FUZZ)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
        add_test(NAME ${name}_corpus COMMAND ${name} ${F_CORPUS})
    endif()
endfunction()
