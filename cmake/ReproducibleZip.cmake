# Run by CPack once it has made the zip (CPACK_POST_BUILD_SCRIPTS), before it copies the zip
# to CPACK_PACKAGE_DIRECTORY: rewrites it so that one commit always gives the same bytes, and
# writes its SHA-256 into that folder. Every entry gets the
# time of $SOURCE_DATE_EPOCH when set, else that of the commit the sources come from.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(seconds $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C "${CPACK_TRELLISAN_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE seconds OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0 OR NOT seconds MATCHES "^[0-9]+$")
        set(seconds 0) # not a git checkout: the earliest time a zip can hold
    endif()
endif()
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND "${CPACK_TRELLISAN_PYTHON}"
                            "${CPACK_TRELLISAN_SOURCE_DIR}/cmake/reproducible_zip.py" "${zip}"
                            ${seconds} "${CPACK_PACKAGE_DIRECTORY}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "could not rewrite ${zip} reproducibly")
    endif()
endforeach()
