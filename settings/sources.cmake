# settings sources. CORE: pure logic (no Win32), also built natively. WIN32: the Win32 edge.
set(SETTINGS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stamp.cpp
)
set(SETTINGS_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/regkey.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config.cpp
)
