# The page passes: text routines, tag scanner, rewriting, paragraph conversion.
add_library(vantiro_passes STATIC
  page_chars.cpp
  slot_text.cpp
  text_routines.cpp
  script_compression.cpp
  inline_tags.cpp
  shown_as_written.cpp
  tag_scanner.cpp
  rewrite.cpp
  paragraphs.cpp
)
target_link_libraries(vantiro_passes PUBLIC vantiro_platform vantiro_common)
