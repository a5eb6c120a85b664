# The list manager window "主页列表" (included by lists/CMakeLists.txt when the
# GUI is built).
add_library(vantiro_lists_windows STATIC
  list_manager_window.cpp
)
target_link_libraries(vantiro_lists_windows PUBLIC vantiro_lists vantiro_ui_windows)
