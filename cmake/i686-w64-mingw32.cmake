# Cross build for 32-bit Windows with the project's own MinGW-w64 toolchain, which
# scripts/toolchain builds once per machine from Debian's source packages: GCC with libgcc and
# libstdc++, and MinGW-w64's headers and C runtime, all compiled for the i486, so that no
# instruction of a binary (runtime included) is beyond a 486. Debian's own MinGW compilers
# and runtime are built for the Pentium Pro. The toolchain uses Win32 threads: the posix
# model links winpthreads, which imports functions that only later Windows versions export
# and installs a process-wide exception handler and thread callbacks even in a DLL.
# Everything links statically so the binaries import system DLLs only. The PE headers ask for
# Windows 4.0 and carry no link time stamp, so a release is reproducible.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

execute_process(COMMAND "${CMAKE_CURRENT_LIST_DIR}/../scripts/toolchain" --print-prefix
                OUTPUT_VARIABLE PROJECT_TOOLCHAIN OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
if(NOT EXISTS "${PROJECT_TOOLCHAIN}/.complete")
    message(FATAL_ERROR "The i486 MinGW-w64 toolchain is not built on this machine yet; "
                        "run scripts/toolchain (about 35 minutes, once).")
endif()
set(CMAKE_C_COMPILER ${PROJECT_TOOLCHAIN}/bin/i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${PROJECT_TOOLCHAIN}/bin/i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${PROJECT_TOOLCHAIN}/bin/i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH ${PROJECT_TOOLCHAIN}/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(PROJECT_WIN32_LINK_FLAGS
    "-static -Wl,--no-insert-timestamp -Wl,--major-os-version,4 -Wl,--minor-os-version,0 -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
