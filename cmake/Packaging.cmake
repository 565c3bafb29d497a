# The release a Windows user downloads: Trellisan-<version>-win32.zip with the four programs,
# the example presets, a short guide and the licence, all in one folder, and beside it
# Trellisan-<version>-win32.zip.sha256. One commit always gives the same zip.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# strip writes the current time into the PE header of an image it rewrites, unless
# SOURCE_DATE_EPOCH names one: with 0 the field stays empty, as the linker left it.
if(NOT PROJECT_RELEASE_STRIP_REAL AND NOT CMAKE_STRIP MATCHES "strip-release$")
    set(PROJECT_RELEASE_STRIP_REAL ${CMAKE_STRIP} CACHE INTERNAL "strip behind strip-release")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/strip-release
     "#!/bin/sh\nSOURCE_DATE_EPOCH=0 exec '${PROJECT_RELEASE_STRIP_REAL}' \"$@\"\n")
file(CHMOD ${CMAKE_BINARY_DIR}/strip-release PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_STRIP ${CMAKE_BINARY_DIR}/strip-release CACHE FILEPATH "strip, for the release" FORCE)
set(PROJECT_SHIPPED_TARGETS Trellisan wave presetctl wavehost)
foreach(shipped IN LISTS PROJECT_SHIPPED_TARGETS)
    install(TARGETS ${shipped} RUNTIME DESTINATION . LIBRARY DESTINATION .)
endforeach()

configure_file(${CMAKE_SOURCE_DIR}/docs/README.txt.in ${CMAKE_BINARY_DIR}/README.txt
               NEWLINE_STYLE CRLF @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/presets DESTINATION examples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Trellisan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win32)
set(CPACK_PACKAGE_FILE_NAME Trellisan-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON) # the release carries no debug information
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_TRELLISAN_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_TRELLISAN_PYTHON ${Python3_EXECUTABLE})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/ReproducibleZip.cmake)
include(CPack)

# The test run builds the package and checks it from an unpacked copy.
add_test(NAME package_check
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check_package.sh ${CMAKE_BINARY_DIR}
                 ${CMAKE_OBJDUMP} ${CMAKE_SOURCE_DIR}/cmake/wine-run)
set_tests_properties(package_check PROPERTIES RUN_SERIAL ON)
