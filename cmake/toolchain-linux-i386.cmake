# 32-bit x86 Linux programs (g++ -m32, from g++-multilib), run by CTest
# through user-mode emulation: the kernel here does not execute i386 ELF
# programs itself. QEMU_CPU in a test's environment picks the processor model
# (pentium3 has no PCLMULQDQ; the default model has it).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386-static)
