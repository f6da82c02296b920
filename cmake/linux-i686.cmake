# 32-bit x86 Linux with the host's multilib g++. SSE2 arithmetic so that float and double rounding
# is plain IEEE and matches the Windows build bit for bit.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)

# TONEMIX_EMULATE=1 runs every 32-bit program that the build and ctest start through qemu-user,
# as a machine whose kernel runs no 32-bit code must: the emulated path, tried on any machine.
# (Such a machine registers the emulator with the kernel instead, and needs nothing here.)
if("$ENV{TONEMIX_EMULATE}" STREQUAL "1")
  find_program(TONEMIX_QEMU_I386 qemu-i386-static REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TONEMIX_QEMU_I386})
endif()
