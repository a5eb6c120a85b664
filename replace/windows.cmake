# The search-and-replace window "查找替换" (included by replace/CMakeLists.txt
# when the GUI is built).
add_library(vantiro_replace_windows STATIC
  replace_window.cpp
)
target_link_libraries(vantiro_replace_windows PUBLIC vantiro_replace vantiro_ui_common)
