# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model: std::thread needs it).
# Usable alone (-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake) or chain-loaded from Qt's toolchain file
# (-DQT_CHAINLOAD_TOOLCHAIN_FILE=...): it only adds to the search roots, never replaces them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime goes into each executable, so a program runs from its folder alone. A build
# against shared Qt libraries may turn this off to share the runtime DLLs that ship beside Qt.
option(TAMBERLINE_STATIC_RUNTIME "Link libgcc, libstdc++ and winpthread statically" ON)
if(TAMBERLINE_STATIC_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()
