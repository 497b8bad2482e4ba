# The installer executables. The program itself is linked once, without a
# payload (Kormit_bare.exe, the stub that filepacker carries); the installer
# with the sample package is made from it by `filepacker installer`, exactly
# as a packager makes one, and the test copies are that installer with its
# payload damaged. Included from installer/CMakeLists.txt, where the flow
# library, the sample programs and the native filepacker (kormit_filepacker)
# are defined.

# kormit_add_program(TARGET OUTPUT_NAME): the installer program, no payload.
function(kormit_add_program target output_name)
  add_executable(${target} WIN32
    "${PROJECT_SOURCE_DIR}/installer/main.cpp" "${PROJECT_SOURCE_DIR}/installer/globals.cpp"
    "${PROJECT_SOURCE_DIR}/installer/allocation.cpp" "${PROJECT_SOURCE_DIR}/installer/process_entry.cpp")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${output_name}"
                        RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/installer")
  target_compile_options(${target} PRIVATE ${kormit_small_code})
  target_link_libraries(${target} PRIVATE kormit_installer_flow kormit_resources)
  # The installer brings its own small entry (installer/process_entry.cpp).
  target_link_options(${target} PRIVATE -nostartfiles -Wl,-e,_WinMainCRTStartup
                      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
endfunction()
kormit_add_program(kormit_installer_bare Kormit_bare)

# The sample package, staged and made into the installer at build time by
# the native filepacker, which carries the stub above.
set(sample_stage "${CMAKE_BINARY_DIR}/payload/package")
set(kormit_installer_exe "${CMAKE_BINARY_DIR}/installer/Kormit_DaduD1e63.exe")
file(GLOB sample_texts CONFIGURE_DEPENDS
     "${CMAKE_CURRENT_LIST_DIR}/package/*.txt" "${CMAKE_CURRENT_LIST_DIR}/package/*.ini"
     "${CMAKE_CURRENT_LIST_DIR}/package/*.lng" "${CMAKE_CURRENT_LIST_DIR}/package/*.m3u")
add_custom_command(
  OUTPUT "${kormit_installer_exe}"
  COMMAND perl "${CMAKE_CURRENT_LIST_DIR}/package/stage.pl" "${kormit_filepacker}"
          "${CMAKE_CURRENT_LIST_DIR}/package" "${sample_stage}" "${kormit_installer_exe}"
          $<TARGET_FILE:kormit_sample_player> $<TARGET_FILE:kormit_sample_setup>
          $<TARGET_FILE:kormit_sample_in_wave> $<TARGET_FILE:kormit_sample_out_wave>
  DEPENDS "${CMAKE_CURRENT_LIST_DIR}/package/stage.pl" ${sample_texts}
          kormit_sample_player kormit_sample_setup kormit_sample_in_wave kormit_sample_out_wave
          kormit_native_filepacker "${kormit_filepacker}" kormit_installer_bare
  COMMENT "Making Kormit_DaduD1e63.exe of the sample package with filepacker installer"
  VERBATIM)
add_custom_target(kormit_installer ALL DEPENDS "${kormit_installer_exe}")

# Damaged copies for the tests, their payload's size field multiplied by a
# factor. Halved, the container ends in the middle of its entries, so
# extraction fails after the first files are written, at the first read past
# that end; doubled, it claims more bytes than the resource holds.
if(BUILD_TESTING)
  foreach(copy IN ITEMS "damaged;0.5" "overlong;2")
    list(GET copy 0 kind)
    list(GET copy 1 factor)
    set(kormit_${kind}_exe "${CMAKE_BINARY_DIR}/installer/Kormit_${kind}.exe")
    add_custom_command(
      OUTPUT "${kormit_${kind}_exe}"
      COMMAND perl "${CMAKE_CURRENT_LIST_DIR}/payload_damage.pl" "${kormit_installer_exe}"
              "${kormit_${kind}_exe}" ${factor}
      DEPENDS "${kormit_installer_exe}" "${CMAKE_CURRENT_LIST_DIR}/payload_damage.pl"
      COMMENT "Making the ${kind} copy of the installer"
      VERBATIM)
    add_custom_target(kormit_installer_${kind} ALL DEPENDS "${kormit_${kind}_exe}")
  endforeach()
endif()
