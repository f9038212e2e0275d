# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix-threads compilers, which
# std::thread needs). Libraries are looked for only in the Windows dependencies' prefix
# (scripts/windows-deps.sh; the folder is KARST_WINDOWS_DEPS, by default build-windows/deps) and in
# the compiler's own sysroot, never among the machine's Linux ones, and every program is linked
# statically: the .exe files need nothing beside them but Windows's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(karst_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${karst_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${karst_host}-g++-posix)
set(CMAKE_RC_COMPILER ${karst_host}-windres)
set(CMAKE_AR ${karst_host}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${karst_host}-ranlib CACHE FILEPATH "")

if(NOT KARST_WINDOWS_DEPS)
  if(DEFINED ENV{KARST_WINDOWS_DEPS})
    set(KARST_WINDOWS_DEPS $ENV{KARST_WINDOWS_DEPS})
  else()
    get_filename_component(KARST_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps ABSOLUTE)
  endif()
endif()
# The compiler checks run in projects of their own, which see only the variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KARST_WINDOWS_DEPS)
set(KARST_WINDOWS_PREFIX ${KARST_WINDOWS_DEPS}/prefix)

set(CMAKE_FIND_ROOT_PATH ${KARST_WINDOWS_PREFIX} /usr/${karst_host})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the prefix's .pc files and nothing else.
set(ENV{PKG_CONFIG_LIBDIR} ${KARST_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs run on this machine (the tests, build steps that run a program of ours) under
# Wine, in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# The release at -O2, as the Linux build: at -O3 this GCC (12) warns falsely of overlapping
# copies inside libstdc++'s std::string (GCC bug 105329), which -Werror makes fatal. Stripped,
# as the zip needs no symbols.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "")
