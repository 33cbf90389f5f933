# Native Linux build: the pure logic (no Win32) and its unit tests; libFuzzer targets with clang.
option(TOLVIK_FUZZ "Build libFuzzer targets (clang only)" OFF)
option(TOLVIK_SANITIZE "Build unit tests with ASan and UBSan" ON)

set(TOLVIK_ALL_CORE_SOURCES ${BASE_CORE_SOURCES} ${APP_CORE_SOURCES} ${SEND_CORE_SOURCES} ${RECEIVE_CORE_SOURCES}
    ${SETTINGS_CORE_SOURCES})

if(TOLVIK_SANITIZE OR TOLVIK_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(tolvik_core STATIC ${TOLVIK_ALL_CORE_SOURCES})
target_include_directories(tolvik_core PUBLIC ${CMAKE_SOURCE_DIR})
if(MSGSVC_CORE_SOURCES)
  add_library(msgsvc_core STATIC ${MSGSVC_CORE_SOURCES})
  target_include_directories(msgsvc_core PUBLIC ${CMAKE_SOURCE_DIR})
else()
  add_library(msgsvc_core INTERFACE)
endif()

if(TOLVIK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TOLVIK_FUZZ needs clang++")
  endif()
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE tolvik_core msgsvc_core)
    # A short bounded run is part of the tests; longer runs are documented in the README.
    # New inputs go to the first corpus directory, a scratch one in the build tree; the
    # committed seeds are only read.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-work/${name})
    add_test(NAME fuzz.${name}
             COMMAND ${name} -max_total_time=20 -rss_limit_mb=2048
                     ${CMAKE_BINARY_DIR}/fuzz-work/${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
  endforeach()
else()
  find_package(GTest REQUIRED)
  file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
  add_executable(unit_tests ${UNIT_TEST_SOURCES})
  target_link_libraries(unit_tests PRIVATE tolvik_core msgsvc_core GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(unit_tests PROPERTIES LABELS unit)
  # The program's folders form layers: none includes a header of a folder above it.
  add_test(NAME layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check-layers.sh ${CMAKE_SOURCE_DIR})
  set_tests_properties(layers PROPERTIES LABELS unit)
endif()
