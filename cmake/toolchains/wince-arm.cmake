# The device: Windows CE 5 / Windows Mobile 5.0 on ARM, with CeGCC's
# arm-mingw32ce compiler. No Windows CE compiler is packaged for Debian, so
# this build is not exercised on the project's machines.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-mingw32ce-gcc)
set(CMAKE_CXX_COMPILER arm-mingw32ce-g++)
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WCE=0x501 -march=armv5te")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WCE=0x501 -march=armv5te")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc")
set(PENWICK_WINDOWS_TESTS OFF CACHE BOOL "" FORCE)
