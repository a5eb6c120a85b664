# The page compressor and the run driver (plain C++). They need the passes;
# until those are in the tree the library is left out rather than broken.
if(TARGET vantiro_passes)
  add_library(vantiro_compressor STATIC
    page_kind.cpp
    page_styles.cpp
    page_compressor.cpp
    page_pieces.cpp
    split_output.cpp
    compression_run.cpp
    mirror_copy.cpp
    failure_reasons.cpp
  )
  target_link_libraries(vantiro_compressor PUBLIC vantiro_passes vantiro_backup vantiro_common vantiro_queue vantiro_platform)
endif()
