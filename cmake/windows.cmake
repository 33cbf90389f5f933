# Windows build (mingw-w64): tolvik.exe and, on x86_64, the Windows test programs.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR} --use-temp-file")
# Static runtime: the exe must run on a bare Windows without libstdc++/libgcc DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
# Release binaries are built for size: -Os costs no measurable speed here (scripts/bench.sh,
# scripts/bench-msgsvc.sh), every function and datum gets its own section so that the linker drops
# what nothing calls, and symbols are stripped. -Os comes after CMake's -O3 and so wins.
add_compile_options("$<$<CONFIG:Release>:-Os;-ffunction-sections;-fdata-sections>")
add_link_options("$<$<CONFIG:Release>:-s;-Wl,--gc-sections>")
# No binary carries libstdc++'s verbose terminate handler and its demangler (see terminate.cpp).
add_library(quiet_terminate OBJECT ${CMAKE_CURRENT_LIST_DIR}/terminate.cpp)
link_libraries(quiet_terminate)

set(TOLVIK_ALL_CORE_SOURCES ${APP_CORE_SOURCES} ${SEND_CORE_SOURCES} ${RECEIVE_CORE_SOURCES}
    ${SETTINGS_CORE_SOURCES})

add_executable(tolvik WIN32
  ${TOLVIK_ALL_CORE_SOURCES}
  ${APP_WIN32_SOURCES} ${SEND_WIN32_SOURCES} ${RECEIVE_WIN32_SOURCES} ${SETTINGS_WIN32_SOURCES}
  ${CMAKE_SOURCE_DIR}/res/tolvik.rc)
target_include_directories(tolvik PRIVATE ${CMAKE_SOURCE_DIR})
# The resource compiler does not track the files the script embeds.
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/tolvik.rc PROPERTIES
                            OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/tolvik.manifest)
# The shipped program targets Windows XP's API set.
target_compile_definitions(tolvik PRIVATE WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX)
target_link_libraries(tolvik PRIVATE comctl32 shell32 netapi32 mpr advapi32 user32 gdi32 kernel32)
set_target_properties(tolvik PROPERTIES OUTPUT_NAME tolvik)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  include(${CMAKE_SOURCE_DIR}/tests/windows-tests.cmake OPTIONAL)
endif()
include(${CMAKE_SOURCE_DIR}/msgsvc/windows.cmake OPTIONAL)

# The exe must name only system DLLs in its import table.
find_program(MINGW_OBJDUMP NAMES ${TOOLCHAIN_PREFIX}-objdump objdump REQUIRED)
add_test(NAME imports.tolvik
         COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh ${MINGW_OBJDUMP} $<TARGET_FILE:tolvik>)
include(${CMAKE_SOURCE_DIR}/tests/release.cmake OPTIONAL)
