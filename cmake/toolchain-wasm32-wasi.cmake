# WebAssembly (wasm32-wasi) with Debian's clang 14, lld, wasi-libc and
# libc++-14-dev-wasm32. Only the wasm32-wasi headers are searched: the
# host's /usr/include, which clang would search after them, holds glibc's.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(kormit_wasm_includes "-nostdlibinc -isystem /usr/include/wasm32-wasi/c++/v1 -isystem /usr/include/wasm32-wasi")
set(CMAKE_CXX_FLAGS_INIT "${kormit_wasm_includes}")
set(CMAKE_C_FLAGS_INIT "-nostdlibinc -isystem /usr/include/wasm32-wasi")
# The flags above reach the link line too, where clang has no use for
# -nostdlibinc and would say so at every link.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wno-unused-command-line-argument")
