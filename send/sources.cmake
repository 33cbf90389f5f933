# send sources. CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(SEND_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/send_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recipients.cpp
)
set(SEND_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/compose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send.cpp
)
