# GoogleTest from Debian's source package, built by whichever toolchain configures this tree.
set(PROJECT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${PROJECT_GTEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${PROJECT_GTEST_SOURCE}; run scripts/deps")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${PROJECT_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

# project_add_test(NAME SOURCES src... [LIBRARIES lib...] [LABELS label...])
# One test program registered as one CTest test, so that a Windows program starts only once
# under Wine. Arguments after the program come from ARGS.
function(project_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBRARIES;LABELS;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
