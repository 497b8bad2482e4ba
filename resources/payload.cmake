# The installer's payload: the packed archive that it carries as the resource
# "KORMIT" of type "FILESPACK", and the executables that carry it. Included
# from installer/CMakeLists.txt, where the flow library, the sample programs
# and the native filepacker (kormit_filepacker) are defined.

set(PAYLOAD_ARCHIVE "" CACHE FILEPATH
    "Archive to embed in the installer instead of the sample package")

# The sample package, staged and packed at build time.
set(sample_stage "${CMAKE_BINARY_DIR}/payload/package")
set(sample_archive "${CMAKE_BINARY_DIR}/payload/sample-package.pak")
file(GLOB sample_texts CONFIGURE_DEPENDS
     "${CMAKE_CURRENT_LIST_DIR}/package/*.txt" "${CMAKE_CURRENT_LIST_DIR}/package/*.ini"
     "${CMAKE_CURRENT_LIST_DIR}/package/*.lng" "${CMAKE_CURRENT_LIST_DIR}/package/*.m3u")
add_custom_command(
  OUTPUT "${sample_archive}"
  COMMAND perl "${CMAKE_CURRENT_LIST_DIR}/package/stage.pl" "${kormit_filepacker}"
          "${CMAKE_CURRENT_LIST_DIR}/package" "${sample_stage}" "${sample_archive}"
          $<TARGET_FILE:kormit_sample_player> $<TARGET_FILE:kormit_sample_setup>
          $<TARGET_FILE:kormit_sample_in_wave> $<TARGET_FILE:kormit_sample_out_wave>
  DEPENDS "${CMAKE_CURRENT_LIST_DIR}/package/stage.pl" ${sample_texts}
          kormit_sample_player kormit_sample_setup kormit_sample_in_wave kormit_sample_out_wave
          kormit_native_filepacker "${kormit_filepacker}"
  COMMENT "Packing the sample package"
  VERBATIM)
add_custom_target(kormit_sample_package DEPENDS "${sample_archive}")

# Damaged copies for the tests, their size field multiplied by a factor.
# Halved, the container ends in the middle of its entries, so extraction
# fails after the first files are written, at the first read past that end;
# doubled, it claims more bytes than the resource holds.
foreach(copy IN ITEMS "damaged;0.5" "overlong;2")
  list(GET copy 0 kind)
  list(GET copy 1 factor)
  set(${kind}_archive "${CMAKE_BINARY_DIR}/payload/${kind}-package.pak")
  add_custom_command(
    OUTPUT "${${kind}_archive}"
    COMMAND perl "${CMAKE_CURRENT_LIST_DIR}/payload_damage.pl" "${sample_archive}" "${${kind}_archive}" ${factor}
    DEPENDS "${sample_archive}" "${CMAKE_CURRENT_LIST_DIR}/payload_damage.pl"
    COMMENT "Making a ${kind} copy of the sample package"
    VERBATIM)
endforeach()

# kormit_add_installer(TARGET OUTPUT_NAME ARCHIVE|"")
# One installer executable; with an empty ARCHIVE it carries no payload.
function(kormit_add_installer target output_name archive)
  set(sources "${PROJECT_SOURCE_DIR}/installer/main.cpp" "${PROJECT_SOURCE_DIR}/installer/globals.cpp"
              "${PROJECT_SOURCE_DIR}/installer/allocation.cpp"
              "${PROJECT_SOURCE_DIR}/installer/process_entry.cpp")
  if(archive)
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}-payload.rc")
    set(PAYLOAD_PATH "${archive}")
    configure_file("${PROJECT_SOURCE_DIR}/resources/payload.rc.in" "${rc}" @ONLY)
    # windres reads the archive itself; tell the build to look at it.
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${archive}")
    list(APPEND sources "${rc}")
  endif()
  add_executable(${target} WIN32 ${sources})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${output_name}")
  target_compile_options(${target} PRIVATE ${kormit_small_code})
  target_link_libraries(${target} PRIVATE kormit_installer_flow kormit_resources)
  # The installer brings its own small entry (installer/process_entry.cpp).
  target_link_options(${target} PRIVATE -nostartfiles -Wl,-e,_WinMainCRTStartup
                      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
endfunction()

if(PAYLOAD_ARCHIVE)
  get_filename_component(installer_payload "${PAYLOAD_ARCHIVE}" ABSOLUTE)
else()
  set(installer_payload "${sample_archive}")
endif()
kormit_add_installer(kormit_installer Kormit_DaduD1e63 "${installer_payload}")
add_dependencies(kormit_installer kormit_sample_package)

# For the tests and the size measurement: the same program with a damaged
# payload, and with none at all.
if(BUILD_TESTING)
  kormit_add_installer(kormit_installer_damaged Kormit_damaged "${damaged_archive}")
  kormit_add_installer(kormit_installer_overlong Kormit_overlong "${overlong_archive}")
endif()
kormit_add_installer(kormit_installer_bare Kormit_bare "")
foreach(variant kormit_installer kormit_installer_damaged kormit_installer_overlong kormit_installer_bare)
  if(TARGET ${variant})
    set_target_properties(${variant} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/installer")
  endif()
endforeach()
