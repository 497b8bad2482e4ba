# Where filepacker's embedded installer stub (Kormit_bare.exe, the installer
# without a payload) comes from. Sets kormit_stub_file (empty: none) and
# kormit_stub_depends (what must be built before it exists).
#
#   KORMIT_EMBEDDED_STUB given: that file.
#   Windows build: this build's own kormit_installer_bare.
#   Native build: a cross build of just the stub in <build>/stub-win32, when
#   the i686 mingw-w64 compiler is there; without it filepacker carries no
#   stub and `filepacker installer` asks for --stub.
#
# kormit_embedded_stub_source(VARIABLE) then names the source of
# EmbeddedStub() for a target to compile: the stub's bytes, or
# tools/filepacker/embedded_stub.cpp (none). Used by filepacker_core, which
# both filepacker and the WebAssembly engine (tools/web) link.
set(KORMIT_EMBEDDED_STUB "" CACHE FILEPATH
    "Installer stub (Kormit_bare.exe) for filepacker to carry (default: built from this tree)")

set(kormit_stub_file "")
set(kormit_stub_depends "")
if(KORMIT_EMBEDDED_STUB)
  get_filename_component(kormit_stub_file "${KORMIT_EMBEDDED_STUB}" ABSOLUTE)
  kormit_report("filepacker" "carries the installer stub ${kormit_stub_file}")
elseif(WIN32)
  set(kormit_stub_file "$<TARGET_FILE:kormit_installer_bare>")
  set(kormit_stub_depends kormit_installer_bare)
  kormit_report("filepacker" "carries this build's Kormit_bare.exe as its installer stub")
else()
  find_program(KORMIT_MINGW_CXX i686-w64-mingw32-g++)
  if(KORMIT_MINGW_CXX)
    include(ExternalProject)
    set(stub_build "${CMAKE_BINARY_DIR}/stub-win32")
    set(kormit_stub_file "${stub_build}/installer/Kormit_bare.exe")
    ExternalProject_Add(kormit_stub_win32
      SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.."
      BINARY_DIR "${stub_build}"
      CMAKE_ARGS "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake"
                 -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build "${stub_build}" --target kormit_installer_bare
      BUILD_ALWAYS ON
      INSTALL_COMMAND ""
      BUILD_BYPRODUCTS "${kormit_stub_file}")
    set(kormit_stub_depends kormit_stub_win32)
    kormit_report("filepacker" "carries an installer stub cross-built in ${stub_build}")
  else()
    kormit_missing("filepacker" "i686-w64-mingw32-g++ is missing, so filepacker carries no installer stub "
                   "(`filepacker installer` will need --stub) and its tests of installers are left out "
                   "(run scripts/install-deps)")
  endif()
endif()

function(kormit_embedded_stub_source variable)
  set(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/..")
  if(NOT kormit_stub_file)
    set(${variable} "${root}/tools/filepacker/embedded_stub.cpp" PARENT_SCOPE)
    return()
  endif()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/embedded_stub_bytes.cpp")
  add_custom_command(
    OUTPUT "${source}"
    COMMAND ${CMAKE_COMMAND} "-DINPUT=${kormit_stub_file}" "-DOUTPUT=${source}" -P "${root}/cmake/embed-stub.cmake"
    DEPENDS "${kormit_stub_file}" ${kormit_stub_depends} "${root}/cmake/embed-stub.cmake"
    COMMENT "Embedding the installer stub"
    VERBATIM)
  set(${variable} "${source}" PARENT_SCOPE)
endfunction()
