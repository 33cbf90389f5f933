# base sources: what every layer of the program uses (ids, text buffers, the platform's text
# comparisons, the names shared with the message service, the main window's handles and window
# helpers). CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(BASE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/textbuf.cpp
)
# PLATFORM: the platform's text comparisons alone, which the command-line sender uses too.
set(BASE_PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/platform.cpp
)
set(BASE_WIN32_SOURCES
  ${BASE_PLATFORM_SOURCES}
  ${CMAKE_CURRENT_LIST_DIR}/mainwnd.cpp
)
