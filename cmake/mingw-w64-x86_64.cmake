# Cross-builds the Windows program with Debian's MinGW-w64. The -posix compiler variant has
# std::thread and std::mutex; static linking puts its runtime into the .exe, which otherwise
# does not start on a machine (or Wine prefix) without the MinGW DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test programs run under Wine.
find_program(TORVEN_WINE wine)
if(TORVEN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TORVEN_WINE})
endif()
