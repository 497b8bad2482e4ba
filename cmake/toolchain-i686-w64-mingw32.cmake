# Cross build for 32-bit Windows with mingw-w64 (win32 thread model, so no
# winpthread runtime ends up in the executables).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# Without the cross compiler CMake would only say that it found none.
find_program(kormit_mingw_gxx i686-w64-mingw32-g++)
if(NOT kormit_mingw_gxx)
  message(FATAL_ERROR "i686-w64-mingw32-g++ is missing: install Debian's g++-mingw-w64-i686-win32 "
                      "(scripts/install-deps does)")
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows programs under Wine, in a private prefix of the build.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;${CMAKE_BINARY_DIR}/wine")

# The Pentium's instruction set, not the compiler's default of the Pentium
# Pro: the installer runs on every PC that runs Windows 98 or later, and a
# conditional move (cmov), which the Pentium Pro brought, would stop it
# there with an illegal instruction.
set(CMAKE_C_FLAGS_INIT "-march=pentium -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=pentium -mtune=generic")
