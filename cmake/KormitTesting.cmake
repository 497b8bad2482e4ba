# GoogleTest for both builds, and kormit_add_test() to declare a test program.
option(BUILD_TESTING "Build the tests" ON)

if(BUILD_TESTING)
  enable_testing()
  if(CMAKE_CROSSCOMPILING)
    # No prebuilt Windows GoogleTest exists: compile it from the sources that
    # Debian's googletest package installs (found on the host, outside the
    # cross root).
    find_path(KORMIT_GOOGLETEST_SOURCE CMakeLists.txt PATHS /usr/src/googletest/googletest
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT KORMIT_GOOGLETEST_SOURCE)
      message(FATAL_ERROR "GoogleTest's sources (/usr/src/googletest) are missing: run scripts/install-deps, "
                          "or set KORMIT_GOOGLETEST_SOURCE to their googletest folder")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory("${KORMIT_GOOGLETEST_SOURCE}" ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GCC 12's win32 thread model lacks two std types that GoogleTest names.
    target_compile_options(gtest PUBLIC
      "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/gtest-win32-sync.h")

    # Wine runs the Windows programs, inside an Xvfb display.
    foreach(program wine wineserver Xvfb)
      find_program(KORMIT_${program} ${program} NO_CMAKE_FIND_ROOT_PATH)
      if(NOT KORMIT_${program})
        kormit_missing("tests" "${program} is missing, so the Windows tests cannot run (run scripts/install-deps)")
      endif()
    endforeach()
    set(kormit_test_runner ", run under Wine")
    set(KORMIT_WINE_STATE "${CMAKE_BINARY_DIR}/wine")

    # Wine needs a kernel that runs 32-bit x86 programs. Where it cannot start,
    # every Windows test is still built, and registered as skipped (exit 77 from
    # scripts/wine-run), so that the run says so rather than failing or
    # passing in silence.
    execute_process(COMMAND "${PROJECT_SOURCE_DIR}/scripts/wine-check"
                    RESULT_VARIABLE wine_check_status ERROR_VARIABLE wine_check_reason
                    ERROR_STRIP_TRAILING_WHITESPACE)
    if(wine_check_status EQUAL 0)
      set(KORMIT_WINE_RUNS ON)
    else()
      set(KORMIT_WINE_RUNS OFF)
      kormit_missing("tests" "Windows tests will be skipped: ${wine_check_reason}. "
                             "They run on a machine whose kernel runs 32-bit programs.")
    endif()
    # One Wine session (prefix, X display, wineserver) serves every test of the
    # run; the fixture starts it before the first test and stops it after the
    # last, so nothing stays running once ctest ends.
    add_test(NAME wine_session_start
             COMMAND "${PROJECT_SOURCE_DIR}/scripts/wine-session" start "${KORMIT_WINE_STATE}")
    add_test(NAME wine_session_stop
             COMMAND "${PROJECT_SOURCE_DIR}/scripts/wine-session" stop "${KORMIT_WINE_STATE}")
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session)
  else()
    kormit_find_package(GTest DEBIAN "googletest and libgtest-dev" CONFIG)
  endif()
  include(GoogleTest)
  kormit_report("tests" "GoogleTest programs under ctest${kormit_test_runner}")
else()
  kormit_report("tests" "not built (BUILD_TESTING is OFF)")
endif()

# kormit_add_test(NAME [SOURCES files...] [GLOB patterns...] [LIBS libs...]
#                 [DESKTOP] [PREFIX prefix])
# Builds a GoogleTest program from the sources (patterns relative to the
# calling folder) and registers its tests with ctest. A program without
# sources is an error: no test goes missing without a word. PREFIX goes
# before each test's name, for a program that runs the same cases as
# another one in another build of the code. DESKTOP marks
# tests that open windows on the shared Wine desktop: they run one at a time,
# so that they never see each other's windows.
function(kormit_add_test name)
  cmake_parse_arguments(T "DESKTOP" "PREFIX" "SOURCES;GLOB;LIBS" ${ARGN})
  set(sources ${T_SOURCES})
  foreach(pattern IN LISTS T_GLOB)
    file(GLOB matched CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${pattern}")
    list(APPEND sources ${matched})
  endforeach()
  if(NOT sources)
    message(FATAL_ERROR "test program ${name}: its sources and patterns match no file")
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")

  set(properties LABELS "${KORMIT_PLATFORM}")
  if(CMAKE_CROSSCOMPILING)
    list(APPEND properties FIXTURES_REQUIRED wine_session)
    if(T_DESKTOP)
      list(APPEND properties RESOURCE_LOCK wine_desktop)
    endif()
  endif()
  if(CMAKE_CROSSCOMPILING AND NOT KORMIT_WINE_RUNS)
    # Listing the cases would need Wine too: one skipped test stands for them.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${properties} SKIP_RETURN_CODE 77)
    return()
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${T_PREFIX}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties} SKIP_RETURN_CODE 77)
endfunction()
