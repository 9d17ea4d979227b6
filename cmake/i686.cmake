# 32-bit x86: 32-bit long, size_t and pointers. Linked statically, so that it
# runs on an x86-64 host without 32-bit libraries installed.
set(CROSS_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
