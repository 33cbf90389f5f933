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

set(TOLVIK_ALL_CORE_SOURCES ${BASE_CORE_SOURCES} ${APP_CORE_SOURCES} ${SEND_CORE_SOURCES} ${RECEIVE_CORE_SOURCES}
    ${SETTINGS_CORE_SOURCES})

add_executable(tolvik WIN32
  ${TOLVIK_ALL_CORE_SOURCES}
  ${BASE_WIN32_SOURCES} ${APP_WIN32_SOURCES} ${SEND_WIN32_SOURCES} ${RECEIVE_WIN32_SOURCES} ${SETTINGS_WIN32_SOURCES}
  ${CMAKE_SOURCE_DIR}/res/tolvik.rc)
target_include_directories(tolvik PRIVATE ${CMAKE_SOURCE_DIR})
# The resource compiler does not track the files the script embeds.
file(GLOB TOLVIK_RES_IMAGES ${CMAKE_SOURCE_DIR}/res/images/*)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/tolvik.rc PROPERTIES
                            OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/tolvik.manifest;${TOLVIK_RES_IMAGES}")
# The shipped program targets Windows XP's API set.
target_compile_definitions(tolvik PRIVATE WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX)
target_link_libraries(tolvik PRIVATE comctl32 shell32 mpr advapi32 user32 gdi32 kernel32)
set_target_properties(tolvik PROPERTIES OUTPUT_NAME tolvik)

# tolvik-send.exe: the console sender for scripts, with Tolvik's send texts and name splitting.
add_executable(tolvik_send ${SEND_CORE_SOURCES} ${CMAKE_SOURCE_DIR}/send/tolvik_send.cpp
               ${BASE_PLATFORM_SOURCES})
target_include_directories(tolvik_send PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(tolvik_send PRIVATE WINVER=0x0501 _WIN32_WINNT=0x0501 NOMINMAX)
target_link_libraries(tolvik_send PRIVATE netapi32 shell32 user32 kernel32)
set_target_properties(tolvik_send PROPERTIES OUTPUT_NAME tolvik-send)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # The network provider that Wine needs before Tolvik finds a network (wine/netprovider.cpp).
  add_library(tolviknp SHARED ${CMAKE_SOURCE_DIR}/wine/netprovider.cpp ${CMAKE_SOURCE_DIR}/wine/netprovider.def)
  set_target_properties(tolviknp PROPERTIES PREFIX "" OUTPUT_NAME tolviknp)
  target_link_libraries(tolviknp PRIVATE mpr)
  include(${CMAKE_SOURCE_DIR}/tests/windows-tests.cmake OPTIONAL)
endif()
include(${CMAKE_SOURCE_DIR}/msgsvc/windows.cmake OPTIONAL)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # What running Tolvik on Linux takes (scripts/run.sh builds only this): the program, the console
  # sender, the message service and its sender DLL, and the network provider.
  add_custom_target(tolvik_linux)
  add_dependencies(tolvik_linux tolvik tolvik_send msgsvc msgsvc_netapi32 tolviknp)
  # The envelope icon as PNG in the hicolor sizes, for the Debian package's desktop entry: 32 is the
  # icon's 32x32 frame, 64 and 128 blow its pixels up, 48 is resampled, 16 is its own 16x16 frame.
  # Each size names one frame of the .ico: given the whole file, convert writes one PNG per frame.
  find_program(IMAGEMAGICK_CONVERT NAMES convert)
  if(IMAGEMAGICK_CONVERT)
    set(TOLVIK_ICON ${CMAKE_SOURCE_DIR}/res/images/icon134.ico)
    set(TOLVIK_PNGS)
    foreach(size 16 32 48 64 128)
      set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/tolvik.png)
      set(filter Triangle)
      set(frame 0)
      if(size EQUAL 16)
        set(frame 1)
      endif()
      if(size EQUAL 64 OR size EQUAL 128)
        set(filter Point)
      endif()
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
        COMMAND ${IMAGEMAGICK_CONVERT} ${TOLVIK_ICON}[${frame}] -filter ${filter} -resize ${size}x${size}
                -define png:exclude-chunks=date,time -strip PNG32:${png}
        DEPENDS ${TOLVIK_ICON} VERBATIM)
      list(APPEND TOLVIK_PNGS ${png})
    endforeach()
    add_custom_target(tolvik_icons ALL DEPENDS ${TOLVIK_PNGS})
  endif()
endif()

# Every shipped binary must name only system DLLs in its import table.
find_program(MINGW_OBJDUMP NAMES ${TOOLCHAIN_PREFIX}-objdump objdump REQUIRED)
foreach(target tolvik tolvik_send msgsvc msgsvc_netapi32 tolviknp)
  if(TARGET ${target})
    add_test(NAME imports.${target}
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh ${MINGW_OBJDUMP} $<TARGET_FILE:${target}>)
  endif()
endforeach()
include(${CMAKE_SOURCE_DIR}/tests/release.cmake OPTIONAL)
