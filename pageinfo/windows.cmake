# The page information viewer.
add_library(vantiro_pageinfo_windows STATIC
  info_window.cpp
)
target_link_libraries(vantiro_pageinfo_windows PUBLIC vantiro_pageinfo vantiro_ui_windows vantiro_ui_common)
