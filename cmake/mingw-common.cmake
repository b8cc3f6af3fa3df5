# Shared by the MinGW-w64 toolchain files, which set BLINKORB_MINGW_TRIPLET
# first. Debian's compilers come in two thread models. The win32 one keeps
# thread-local data on Windows's own TLS, where the POSIX one would link in a
# pthreads library half the size of the program; it is named explicitly so
# that the build does not depend on where the alternatives system points.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_CXX_COMPILER ${BLINKORB_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${BLINKORB_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BLINKORB_MINGW_TRIPLET})
# Programs (python3 for the icon) are the build host's; everything linked or
# included is the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Unused functions and data are dropped at link time, and every runtime
# library (libgcc, libstdc++) is linked in, so the executables need
# no DLL but those every Windows has.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")
