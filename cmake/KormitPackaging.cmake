# The packages of filepacker that `cpack` makes from what the install rules
# install (tools/CMakeLists.txt): a Debian package from the native build, a
# zip from the Windows build. `make package` puts both in build/packages.
set(CPACK_PACKAGE_NAME filepacker)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kormit installer team <kormit-installer@example.org>" CACHE STRING
    "Maintainer named in the packages")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes Kormit installers; packs, lists, tests and extracts their archives")
set(CPACK_PACKAGE_DESCRIPTION "filepacker makes the self-extracting installer of the Windows audio player
Kormit ${PROJECT_VERSION} from a folder of files: one 32-bit Windows program that unpacks
the package and runs its Setup.exe. It carries the installer program itself,
so it needs no compiler, Windows or Wine. Before writing anything it refuses
files the installer could not install, and it lists, tests and extracts any
installer or archive without running it.")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "filepacker-${PROJECT_VERSION}-win32")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode, bash-completion")
endif()
include(CPack)
