# Cross build of the 32-bit Windows DLL; tests run under wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LKMDB7_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
