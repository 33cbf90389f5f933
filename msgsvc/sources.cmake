# msgsvc sources, in three parts:
#   core/      the protocol and the service's rules: pure logic, no Win32, also built natively (unit tests, fuzzers)
#   service/   msgsvc.exe, the receiving service (msgsvc/windows.cmake)
#   netapi32/  netapi32.dll, the sender's NetMessageBufferSend (msgsvc/windows.cmake)
# and win/, the Win32 edge both programs share (msgsvc.ini, the log, Winsock helpers).
set(MSGSVC_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/core/nbname.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/smb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/receiver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/sender.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/nbns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/lmhosts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/admission.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/output_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/outbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/wins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core/resolve.cpp
)
set(MSGSVC_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/win/config_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/log_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win/socket.cpp
)
