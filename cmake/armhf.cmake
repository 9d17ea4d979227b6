# 32-bit ARM, hard float: unsigned char, 32-bit long and size_t. Its programs
# run under qemu-user with the cross compiler's libraries.
set(CROSS_TRIPLE arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${CROSS_TRIPLE})
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
