# Cross-compiles the launcher as a Windows program with MinGW-w64, for the processor that
# the toolchain file including this one names (CMAKE_SYSTEM_PROCESSOR).
set(CMAKE_SYSTEM_NAME Windows)
set(VORMEL_MINGW ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

# The -posix variants: googletest needs std::mutex, which the -win32 threading model lacks.
set(CMAKE_C_COMPILER   ${VORMEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORMEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${VORMEL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORMEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs are Windows executables: CTest runs them through the Wine of their kind.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_SYSTEM_PROCESSOR})
