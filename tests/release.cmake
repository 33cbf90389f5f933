# Release checks of a Windows build tree (ctest label "release"):
#   release.package   scripts/package.sh on this tree: zip contents, the installer builds, the packaged
#                     exe's imports and version block; on x86_64 the installer and uninstaller run
#                     silently under wine64 in a throw-away prefix
#   release.launcher  (x86_64) the Linux launcher ./tolvik, first and second run on a throw-away HOME
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(RELEASE_ARCH x86_64)
  # Reads version blocks and ends Tolvik inside the prefix under test.
  add_executable(release_probe ${CMAKE_SOURCE_DIR}/tests/release/release_probe.cpp)
  target_include_directories(release_probe PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(release_probe PRIVATE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)
  target_link_libraries(release_probe PRIVATE version user32 kernel32)
  set_target_properties(release_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/release)
  set(RELEASE_PROBE $<TARGET_FILE:release_probe>)
else()
  set(RELEASE_ARCH i686)
  set(RELEASE_PROBE "")
endif()

add_test(NAME release.package
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/package-test.sh ${CMAKE_BINARY_DIR} ${RELEASE_ARCH}
                 ${MINGW_OBJDUMP} ${RELEASE_PROBE})
set_tests_properties(release.package PROPERTIES LABELS release TIMEOUT 600)

if(RELEASE_ARCH STREQUAL "x86_64")
  add_test(NAME release.launcher
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/launcher-test.sh ${CMAKE_BINARY_DIR} ${RELEASE_PROBE})
  set_tests_properties(release.launcher PROPERTIES LABELS release TIMEOUT 600)
endif()
