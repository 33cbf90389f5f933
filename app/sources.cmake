# Application shell sources. CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(APP_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/layout_calc.cpp
)
set(APP_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/arrival.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tooltips.cpp
  ${CMAKE_CURRENT_LIST_DIR}/about.cpp
)
