# 32-bit x86: 32-bit long, size_t and pointers. Linked statically, so that it
# runs on an x86-64 host without 32-bit libraries installed. A static tool
# takes no preloaded library: the tests that preload one run the tool linked
# dynamically too, started by the cross C library's own loader.
set(CROSS_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TSNARROW_LINK_STATIC ON)
set(TSNARROW_DYNAMIC_LOADER /usr/${CROSS_TRIPLE}/lib/ld-linux.so.2 --library-path /usr/${CROSS_TRIPLE}/lib)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
