# What a machine lacks, said at configure time in Debian's words: the
# package to install, not a linker's "cannot open" deep into the build.
#
#   kormit_find_package(NAME DEBIAN PACKAGE [find_package options...])
#       find_package(NAME ...), or a configure error naming PACKAGE.
#   kormit_link_probe(RESULT WHAT COMMAND compiler flags... NEEDS FILE PACKAGE...)
#       links a small C++ program with COMMAND; RESULT is empty when it
#       links, else the text of what failed and the packages whose FILEs
#       are missing (scripts/install-deps installs them all).

# zlib, which tests and benchmarks compare the CRC with, per target.
if(WIN32)
  set(kormit_zlib_package libz-mingw-w64-dev)
else()
  set(kormit_zlib_package zlib1g-dev)
endif()

macro(kormit_find_package name)
  cmake_parse_arguments(kormit_find "" "DEBIAN" "" ${ARGN})
  find_package(${name} ${kormit_find_UNPARSED_ARGUMENTS})
  if(NOT ${name}_FOUND)
    message(FATAL_ERROR "${name} is missing: install Debian's ${kormit_find_DEBIAN} (scripts/install-deps does)")
  endif()
endmacro()

function(kormit_link_probe result what)
  cmake_parse_arguments(probe "" "" "COMMAND;NEEDS" ${ARGN})
  set(folder "${CMAKE_BINARY_DIR}/link-probes/${what}")
  file(MAKE_DIRECTORY "${folder}")
  # The standard library's strings and containers, as every program here
  # uses them: enough to need the C++ library, the C library and the
  # compiler's runtime.
  file(WRITE "${folder}/probe.cpp"
       "#include <string>\n#include <vector>\n"
       "int main(int argc, char** argv) {\n"
       "  std::vector<std::string> words(argv, argv + argc);\n"
       "  return static_cast<int>(words.back().size() % 2);\n}\n")
  execute_process(COMMAND ${probe_COMMAND} "${folder}/probe.cpp" -o "${folder}/probe"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status EQUAL 0)
    set(${result} "" PARENT_SCOPE)
    return()
  endif()
  set(missing "")
  while(probe_NEEDS)
    list(POP_FRONT probe_NEEDS file package)
    if(NOT EXISTS "${file}")
      list(APPEND missing "${package} (for ${file})")
    endif()
  endwhile()
  if(missing)
    string(JOIN ", " missing ${missing})
    set(${result} "cannot link a program for ${what}: install ${missing}" PARENT_SCOPE)
  else()
    string(STRIP "${output}" output)
    set(${result} "cannot link a program for ${what}: ${output}" PARENT_SCOPE)
  endif()
endfunction()

# The WebAssembly toolchain as the web module links with it (Debian's
# clang 14, lld, wasi-libc and LLVM's wasm32 libraries).
function(kormit_wasm_link_probe result)
  find_program(KORMIT_CLANG14 clang++-14)
  find_program(KORMIT_WASM_LD wasm-ld-14)
  if(NOT KORMIT_CLANG14 OR NOT KORMIT_WASM_LD)
    set(${result} "clang++-14 or wasm-ld-14 is missing: install clang-14 and lld-14 (scripts/install-deps does)"
        PARENT_SCOPE)
    return()
  endif()
  # Under the compiler's version, which Debian's updates may change.
  file(GLOB builtins /usr/lib/llvm-14/lib/clang/*/lib/wasi/libclang_rt.builtins-wasm32.a)
  if(NOT builtins)
    set(builtins /usr/lib/llvm-14/lib/clang/14/lib/wasi/libclang_rt.builtins-wasm32.a)
  endif()
  kormit_link_probe(failure "WebAssembly"
    COMMAND "${KORMIT_CLANG14}" --target=wasm32-wasi -nostdlibinc -isystem /usr/include/wasm32-wasi/c++/v1
            -isystem /usr/include/wasm32-wasi -fno-exceptions -Wno-unused-command-line-argument
    NEEDS /usr/lib/wasm32-wasi/libc.a wasi-libc
          /usr/lib/wasm32-wasi/libc++.a libc++-14-dev-wasm32
          /usr/lib/wasm32-wasi/libc++abi.a libc++abi-14-dev-wasm32
          "${builtins}" libclang-rt-14-dev-wasm32)
  set(${result} "${failure}" PARENT_SCOPE)
endfunction()
