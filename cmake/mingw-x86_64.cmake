# Cross build of the library and its tests for 64-bit Windows, run under wine's 64-bit loader:
# the Win32 backend's tests on machines that cannot run 32-bit programs (and so not the i686
# build's). Debian installs that loader, without a command of its own, at /usr/lib/wine/wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LKMDB7_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
