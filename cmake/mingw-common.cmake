# Shared by the MinGW-w64 toolchain files: set KIT_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model, where Debian has both: GoogleTest needs std::mutex,
# which GCC 12's win32 model lacks.
find_program(KIT_MINGW_CC NAMES ${KIT_MINGW_TRIPLET}-gcc-posix ${KIT_MINGW_TRIPLET}-gcc)
find_program(KIT_MINGW_CXX NAMES ${KIT_MINGW_TRIPLET}-g++-posix ${KIT_MINGW_TRIPLET}-g++)
set(CMAKE_C_COMPILER ${KIT_MINGW_CC})
set(CMAKE_CXX_COMPILER ${KIT_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KIT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Each .exe must start on a clean Windows with nothing beside it: no
# libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under wine in a prefix of the build's own, so that a first start
# never touches the user's ~/.wine.
find_program(KIT_WINE NAMES wine)
if(KIT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEPREFIX=${CMAKE_BINARY_DIR}/wine sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
