# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The posix flavour gives the C++ runtime full std::thread / std::mutex support.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALLIVO_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TALLIVO_MINGW_TRIPLE}-gcc-posix ${TALLIVO_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TALLIVO_MINGW_TRIPLE}-g++-posix ${TALLIVO_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TALLIVO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLIVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without Qt: one self-contained .exe per program, no libstdc++, libgcc or winpthread DLLs to
# ship (or for wine to find). With Qt (TALLIVO_SHARED_RUNTIME), whose DLLs link the shared
# runtime, the programs take the same DLLs, so that one C++ runtime serves the whole process.
if(NOT TALLIVO_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Lets CTest (and test discovery) run the .exe files through wine when it is installed.
find_program(TALLIVO_WINE NAMES wine64 wine)
if(TALLIVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALLIVO_WINE})
endif()
