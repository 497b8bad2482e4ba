# The WebAssembly platform (KORMIT_PLATFORM wasm): what every library of the
# module is compiled with. The module itself, its page and its benchmark are
# tools/web's; the code page 932 steps are archive/'s.
kormit_wasm_link_probe(wasm_link_failure)
if(wasm_link_failure)
  message(FATAL_ERROR "${wasm_link_failure}")
endif()

set(KORMIT_WEB_OPTIMIZE "-Os" CACHE STRING "How the engine is optimised")
separate_arguments(kormit_web_optimize UNIX_COMMAND "${KORMIT_WEB_OPTIMIZE}")
# Exceptions stay on for the sources that catch std::bad_alloc;
# archive/platform/wasm/exceptions.cpp makes a throw trap. One thread:
# std::atomic_ref without locks (single_thread_atomic_ref.h).
add_compile_options(-Wall -Wextra -Werror -finput-charset=UTF-8 ${kormit_web_optimize} -fno-rtti
                    -include "${PROJECT_SOURCE_DIR}/archive/platform/wasm/single_thread_atomic_ref.h"
                    -DJSON_HAS_FILESYSTEM=0 -DJSON_HAS_EXPERIMENTAL_FILESYSTEM=0
                    # the decoder's windows and streams of 64 bits, which wasm's i64 holds
                    -DKORMIT_WIDE_REGISTERS=1
                    # wasm has no byte-swap instruction: the decoder's loads
                    # reverse their bytes with one SIMD shuffle instead
                    -msimd128 -DKORMIT_BYTE_SWAP_BY_SHUFFLE=1)

# clang has no -fexec-charset=CP932: the sources with Japanese literals are
# compiled from copies with those literals as code page 932 escapes
# (archive/CMakeLists.txt makes them), and every library finds the copies'
# headers before the originals.
set(kormit_cp932_literals "${CMAKE_BINARY_DIR}/cp932_literals")
include_directories(BEFORE "${kormit_cp932_literals}")
