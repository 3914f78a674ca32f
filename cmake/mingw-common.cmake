# Shared by the MinGW-w64 toolchain files: set KIT_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KIT_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KIT_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${KIT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Each .exe must start on a clean Windows with nothing beside it: no
# libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under wine, quietly and in a prefix of the build's own, so that a
# first start never touches the user's ~/.wine.
find_program(KIT_WINE NAMES wine wine64)
if(KIT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= WINEPREFIX=${CMAKE_BINARY_DIR}/wine
        ${KIT_WINE})
endif()
