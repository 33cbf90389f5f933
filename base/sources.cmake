# base sources: what every layer of the program uses (ids, text buffers, the platform's text
# comparisons, the names shared with the message service, the main window's handles and window
# helpers). CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(BASE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/textbuf.cpp
)
set(BASE_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwnd.cpp
)
