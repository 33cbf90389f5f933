# receive sources. CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(RECEIVE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/title_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/msgtext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/incoming_logic.cpp
)
set(RECEIVE_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/incoming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_view.cpp
)
