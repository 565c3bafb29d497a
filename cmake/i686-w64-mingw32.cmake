# Cross build for 32-bit Windows with MinGW-w64. What ships must load on Windows 95, so the
# -win32 thread variant of the compilers is used: the -posix one links winpthreads, which
# imports functions that only later Windows versions export (GetTickCount64, vectored exception
# handlers, TryEnterCriticalSection) and installs a process-wide exception handler and thread
# callbacks even in a DLL. Everything links statically so the binaries import system DLLs only.
# The PE headers ask for Windows 4.0 and carry no link time stamp, so a release is reproducible.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(PROJECT_WIN32_LINK_FLAGS
    "-static -Wl,--no-insert-timestamp -Wl,--major-os-version,4 -Wl,--minor-os-version,0 -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${PROJECT_WIN32_LINK_FLAGS}")
