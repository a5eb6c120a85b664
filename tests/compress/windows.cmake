# Window tests of the run window (offscreen), over real pages.
if(VANTIRO_GUI AND TARGET vantiro_compressor)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  vantiro_add_test(run_window_tests
    SOURCES run_window_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/../windows_small/qt_test_app.cpp
    LIBS vantiro_compress_windows Qt6::Widgets Qt6::Test
    WINDOWS)
endif()
