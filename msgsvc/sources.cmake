# msgsvc sources. CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(MSGSVC_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/nbname.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/receiver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sender.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nbns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lmhosts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/policy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/outbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resolve.cpp
)
set(MSGSVC_WIN32_SOURCES
)
