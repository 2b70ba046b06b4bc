# Shared part of the cross toolchain files: Debian's cross compiler for the triplet named by the
# including file, its libraries under /usr/<triplet>, and qemu-user to run the test programs
# (CTest and test discovery prefix every test command with the emulator).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${PHOTOGEO_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PHOTOGEO_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${PHOTOGEO_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${PHOTOGEO_CROSS_TRIPLET})
# The target C library's character-set modules for iconv (scripts/setup-cross fetches them):
# -DPHOTOGEO_CROSS_GCONV=<dir>. Without them iconv finds no CP932 under qemu.
if(PHOTOGEO_CROSS_GCONV)
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -E GCONV_PATH=${PHOTOGEO_CROSS_GCONV})
endif()
