# Windows and window helpers shared by several subsystems: the tip window
# and the flat toolbar style.
add_library(vantiro_ui_windows STATIC
  ui/flat_toolbar.cpp
  ui/tip_window.cpp
)
target_link_libraries(vantiro_ui_windows PUBLIC vantiro_ui_common)
