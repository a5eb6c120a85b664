if(TARGET vantiro_compressor)
  vantiro_add_test(compressor_tests
    SOURCES page_compressor_test.cpp page_pieces_test.cpp compression_run_test.cpp page_kind_test.cpp
    LIBS vantiro_compressor)
endif()
