# The driver's code as it goes to the device: clang 14 in Thumb state for
# the ARMv5TE with software floating point and no jump tables, as the device
# build compiles it, but for ARM Linux (Debian's armel cross libraries), so
# that the tests run under qemu-arm. qemu emulates an ARM926, an ARMv5TE: an
# instruction that the devices' processors lack stops the tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv5te)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET arm-linux-gnueabi)
set(CMAKE_CXX_COMPILER_TARGET arm-linux-gnueabi)
set(CMAKE_C_FLAGS_INIT "-march=armv5te -mthumb -mfloat-abi=soft -fno-jump-tables")
set(CMAKE_CXX_FLAGS_INIT "-march=armv5te -mthumb -mfloat-abi=soft -fno-jump-tables")
# GoogleTest's atomics are library calls on the ARMv5TE (libatomic).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-latomic")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -cpu arm926)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
