# Windows build of the message service: msgsvc.exe (the receiving service) and netapi32.dll (the sender's
# NetMessageBufferSend), both in <build>/msgsvc/ so that the sender never shadows the test double in tests-bin.
# On x86_64 also the interop driver, the send benchmark and the interop test (ctest label "wine").
set(MSGSVC_OUT ${CMAKE_BINARY_DIR}/msgsvc)
set(MSGSVC_DEFS WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)

add_library(msgsvc_win STATIC ${MSGSVC_CORE_SOURCES} ${MSGSVC_WIN32_SOURCES})
target_include_directories(msgsvc_win PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(msgsvc_win PUBLIC ${MSGSVC_DEFS})
target_link_libraries(msgsvc_win PUBLIC ws2_32 user32 advapi32 kernel32)

add_executable(msgsvc WIN32
  ${CMAKE_CURRENT_LIST_DIR}/service/service_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/service_net.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/service_popup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/service_hint.cpp)
target_link_libraries(msgsvc PRIVATE msgsvc_win gdi32)
set_target_properties(msgsvc PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MSGSVC_OUT})

add_library(msgsvc_netapi32 SHARED ${CMAKE_CURRENT_LIST_DIR}/netapi32/netapi32.cpp
            ${CMAKE_CURRENT_LIST_DIR}/netapi32/netapi32.def)
target_link_libraries(msgsvc_netapi32 PRIVATE msgsvc_win)
# The undecorated export name also on i686, where the function is __stdcall.
target_link_options(msgsvc_netapi32 PRIVATE -Wl,--enable-stdcall-fixup)
set_target_properties(msgsvc_netapi32 PROPERTIES PREFIX "" OUTPUT_NAME netapi32
                      RUNTIME_OUTPUT_DIRECTORY ${MSGSVC_OUT} ARCHIVE_OUTPUT_DIRECTORY ${MSGSVC_OUT}/lib)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # The driver of the interop test: the e2e framework with the cases of tests/msgsvc/peer_e2e.cpp, which take
  # their parameters from the environment (run by tests/msgsvc/run-interop.sh, not as a suite of its own).
  add_executable(msgsvc_peer
    ${CMAKE_SOURCE_DIR}/tests/e2e/check.cpp
    ${CMAKE_SOURCE_DIR}/tests/e2e/harness.cpp
    ${CMAKE_SOURCE_DIR}/tests/e2e/probe_client.cpp
    ${CMAKE_SOURCE_DIR}/tests/msgsvc/peer_e2e.cpp)
  target_include_directories(msgsvc_peer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(msgsvc_peer PRIVATE WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0700 NOMINMAX)
  target_link_libraries(msgsvc_peer PRIVATE comctl32 user32 gdi32 advapi32 kernel32)
  set_target_properties(msgsvc_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MSGSVC_OUT})

  # Send latency and receiver throughput against msgsvc.exe (scripts/bench-msgsvc.sh prints the figures).
  add_executable(msgsvc_bench ${CMAKE_SOURCE_DIR}/tests/msgsvc/bench_send.cpp)
  target_include_directories(msgsvc_bench PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(msgsvc_bench PRIVATE ${MSGSVC_DEFS})
  target_link_libraries(msgsvc_bench PRIVATE user32 kernel32)
  set_target_properties(msgsvc_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MSGSVC_OUT})

  add_test(NAME msgsvc.interop
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/msgsvc/run-interop.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(msgsvc.interop PROPERTIES LABELS wine TIMEOUT 900)
endif()
