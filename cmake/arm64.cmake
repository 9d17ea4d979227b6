# 64-bit ARM: unsigned char. Its programs run under qemu-user with the cross
# compiler's libraries.
set(CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${CROSS_TRIPLE})
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
