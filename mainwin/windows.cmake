# The main window and its parts.
add_library(vantiro_mainwin_windows STATIC
  file_browser.cpp
  main_menus.cpp
  main_settings.cpp
  main_window.cpp
  options_panel.cpp
  run_start.cpp
  task_list.cpp
)
target_link_libraries(vantiro_mainwin_windows PUBLIC
  vantiro_queue
  vantiro_ui_windows
  vantiro_compress_windows
  vantiro_pageinfo_windows
  vantiro_backup_windows
  vantiro_replace_windows
  vantiro_lists_windows
  vantiro_lists
  vantiro_backup
  vantiro_common)
# The picture that stands in for the empty task list, and the window icon.
qt_add_resources(vantiro_mainwin_windows "mainwin_images"
  PREFIX "/vantiro"
  BASE "${PROJECT_SOURCE_DIR}/app/data"
  FILES "${PROJECT_SOURCE_DIR}/app/data/image1.png" "${PROJECT_SOURCE_DIR}/app/data/vantiro.png")
