# Windows test programs (x86_64, run under wine64) and the Wine test suites.
set(TEST_WIN_DEFS WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0700 NOMINMAX)

file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_e2e.cpp)
add_executable(e2e_driver
  ${CMAKE_SOURCE_DIR}/tests/e2e/check.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/harness.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/probe_client.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/bench_util.cpp
  ${E2E_TEST_SOURCES})
target_include_directories(e2e_driver PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(e2e_driver PRIVATE ${TEST_WIN_DEFS})
# The service benchmark sends over the messenger protocol with the service's own sender.
target_link_libraries(e2e_driver PRIVATE msgsvc_win comctl32 user32 gdi32 advapi32 shell32 ws2_32 kernel32)

# In-process probe loaded into tolvik.exe through a window hook: reads menus for the driver.
add_library(e2e_probe SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/probe.cpp ${CMAKE_SOURCE_DIR}/tests/e2e/probe.def)
set_target_properties(e2e_probe PROPERTIES PREFIX "" OUTPUT_NAME e2e_probe)
target_include_directories(e2e_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(e2e_probe PRIVATE ${TEST_WIN_DEFS})
target_link_libraries(e2e_probe PRIVATE user32)

# Test doubles at the platform's seams, copied beside tolvik.exe in the test prefix:
#   tests/doubles/netapi32.cpp (+ .def)  a recording NetMessageBufferSend (netapi32.dll)
#   tests/doubles/<name>_prog.cpp        small Windows programs (popup producer, ...)
set(TESTS_BIN ${CMAKE_BINARY_DIR}/tests-bin)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/doubles/netapi32.cpp)
  add_library(netapi32_double SHARED ${CMAKE_SOURCE_DIR}/tests/doubles/netapi32.cpp
                                     ${CMAKE_SOURCE_DIR}/tests/doubles/netapi32.def)
  set_target_properties(netapi32_double PROPERTIES PREFIX "" OUTPUT_NAME netapi32
                        RUNTIME_OUTPUT_DIRECTORY ${TESTS_BIN})
  target_include_directories(netapi32_double PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(netapi32_double PRIVATE ${TEST_WIN_DEFS})
endif()
file(GLOB TEST_PROGRAMS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/doubles/*_prog.cpp)
foreach(src ${TEST_PROGRAMS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TESTS_BIN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE ${TEST_WIN_DEFS})
  target_link_libraries(${name} PRIVATE comctl32 user32 gdi32 advapi32 shell32 kernel32)
endforeach()

# One ctest test per suite (tests/e2e/<suite>_e2e.cpp), each in its own prefix and on its
# own Xvfb display.
set(WINE_SUITES)
foreach(src ${E2E_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_e2e$" "" suite ${name})
  # bench_* suites print figures; scripts/bench.sh runs them, ctest does not.
  if(NOT suite MATCHES "^bench_")
    list(APPEND WINE_SUITES ${suite})
  endif()
endforeach()
foreach(suite ${WINE_SUITES})
  add_test(NAME wine.${suite}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/run-suite.sh ${CMAKE_BINARY_DIR} ${suite})
  set_tests_properties(wine.${suite} PROPERTIES LABELS wine TIMEOUT 900)
endforeach()
