# The run window.
add_library(vantiro_compress_windows STATIC
  run_window.cpp
)
target_link_libraries(vantiro_compress_windows PUBLIC vantiro_compressor vantiro_pageinfo_windows vantiro_ui_common)
