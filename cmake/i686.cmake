# 32-bit x86: 32-bit long, size_t and pointers. Linked statically, so that it
# runs on an x86-64 host without 32-bit libraries installed; a static tool
# takes no preloaded library, so the tests that preload one run the tool
# linked dynamically too, started by the cross C library's own loader. Where
# the kernel cannot run 32-bit x86 programs (TSNARROW_I686_EMULATED), all of
# them run under qemu-i386, the loader too. They stay static there: under
# qemu-user 7.2 a dynamically linked 32-bit x86 program hangs in the child of
# its first fork, and the tests fork for every run of the tool.
set(CROSS_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TSNARROW_LINK_STATIC ON)
set(TSNARROW_DYNAMIC_LOADER /usr/${CROSS_TRIPLE}/lib/ld-linux.so.2 --library-path /usr/${CROSS_TRIPLE}/lib)
if(TSNARROW_I686_EMULATED)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
  set(TSNARROW_DYNAMIC_LOADER qemu-i386 ${TSNARROW_DYNAMIC_LOADER})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
