# The page passes: text routines, tag scanner, rewriting, paragraph conversion, style sheets.
add_library(vantiro_passes STATIC
  page_chars.cpp
  slot_text.cpp
  text_routines.cpp
  script_compression.cpp
  element_names.cpp
  tag_attributes.cpp
  tag_shortening.cpp
  page_elements.cpp
  shown_as_written.cpp
  tag_scanner.cpp
  rewrite.cpp
  paragraphs.cpp
  css_tokens.cpp
  css_items.cpp
  css_subjects.cpp
  style_effects.cpp
  style_rules.cpp
  css_space.cpp
  optional_tags.cpp
  comment_dropping.cpp
  attribute_shortening.cpp
  css_minify.cpp
  script_minify.cpp
  character_references.cpp
)
target_link_libraries(vantiro_passes PUBLIC vantiro_platform vantiro_common)
