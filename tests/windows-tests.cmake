# Windows test programs (x86_64, run under wine64) and the Wine test suites.
set(TEST_WIN_DEFS WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0700 NOMINMAX)
add_library(tolviknp SHARED ${CMAKE_SOURCE_DIR}/wine/netprovider.cpp ${CMAKE_SOURCE_DIR}/wine/netprovider.def)
set_target_properties(tolviknp PROPERTIES PREFIX "" OUTPUT_NAME tolviknp)
target_link_libraries(tolviknp PRIVATE mpr)

file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_e2e.cpp)
add_executable(e2e_driver
  ${CMAKE_SOURCE_DIR}/tests/e2e/check.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/harness.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/probe_client.cpp
  ${E2E_TEST_SOURCES})
target_include_directories(e2e_driver PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(e2e_driver PRIVATE ${TEST_WIN_DEFS})
target_link_libraries(e2e_driver PRIVATE comctl32 user32 gdi32 advapi32 kernel32)

# In-process probe loaded into tolvik.exe through a window hook: reads menus for the driver.
add_library(e2e_probe SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/probe.cpp ${CMAKE_SOURCE_DIR}/tests/e2e/probe.def)
set_target_properties(e2e_probe PROPERTIES PREFIX "" OUTPUT_NAME e2e_probe)
target_include_directories(e2e_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(e2e_probe PRIVATE ${TEST_WIN_DEFS})
target_link_libraries(e2e_probe PRIVATE user32)

# One ctest test per suite, each in its own prefix and on its own Xvfb display.
set(WINE_SUITES startup)
foreach(suite ${WINE_SUITES})
  add_test(NAME wine.${suite}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/run-suite.sh ${CMAKE_BINARY_DIR} ${suite})
  set_tests_properties(wine.${suite} PROPERTIES LABELS wine TIMEOUT 900)
endforeach()
