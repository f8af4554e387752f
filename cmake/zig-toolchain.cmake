# The wheel's toolchain: zig's clang, aimed at glibc 2.28, so the extension
# installs without a compiler on every manylinux_2_28 system (Debian 10,
# RHEL 8, Ubuntu 20.04 and later). Only `make wheel` uses it; the developer
# build and the tests keep the system's gcc.
#
# Why zig: it carries the C library stubs of each glibc version, so every
# symbol the module takes from libc, libm, libdl and libpthread binds to the
# oldest version that has it, without hand-written .symver lines. It links its
# own libc++, libc++abi and libunwind statically, so the wheel needs no
# GLIBCXX version either. That C++ runtime stays private to the module
# (module-exports.map exports PyInit__native alone): no C++ exception, type or
# allocation crosses the CPython boundary (the module speaks C to CPython and
# PDFium, and PDFium's one callback, past_deadline, cannot throw), so a libstdc++
# loaded by another extension in the same process never meets ours.
#
# ZIG names the zig executable (the Makefile takes the one of the ziglang
# package in .venv); otherwise zig is looked up on PATH.
if(DEFINED ENV{ZIG} AND NOT "$ENV{ZIG}" STREQUAL "")
  set(TEXTLOOM_ZIG "$ENV{ZIG}")
else()
  find_program(TEXTLOOM_ZIG zig REQUIRED)
endif()

# The oldest glibc the wheel supports; auditwheel tags the wheel from it.
set(TEXTLOOM_ZIG_TARGET x86_64-linux-gnu.2.28)
set(CMAKE_C_COMPILER "${TEXTLOOM_ZIG}" cc -target ${TEXTLOOM_ZIG_TARGET})
set(CMAKE_CXX_COMPILER "${TEXTLOOM_ZIG}" c++ -target ${TEXTLOOM_ZIG_TARGET})

# zig's own glibc 2.28 headers come first; the build machine's /usr/include
# only after them, for what they lack: pcre2.h and Debian's multiarch
# pyconfig.h. Libraries there (libpcre2-8.a) sit in Debian's multiarch folder.
set(CMAKE_C_FLAGS_INIT "-idirafter /usr/include")
set(CMAKE_CXX_FLAGS_INIT "-idirafter /usr/include")
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)

set(CMAKE_MODULE_LINKER_FLAGS_INIT
    "-Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/module-exports.map")
