# The restore window.
add_library(vantiro_backup_windows STATIC
  restore_window.cpp
)
target_link_libraries(vantiro_backup_windows PUBLIC vantiro_backup vantiro_ui_common)
