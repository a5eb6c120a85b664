# Tests of the page passes (text routines, scanner, rewriting, paragraphs).
vantiro_add_test(passes_tests
  SOURCES
    slot_text_test.cpp
    text_routines_test.cpp
    script_compression_test.cpp
    tag_scanner_test.cpp
    rewrite_test.cpp
    paragraphs_test.cpp
    passes_test.cpp
    shown_the_same_test.cpp
    further_level_test.cpp
  LIBS vantiro_passes)

# Tests of the style sheet reader: tokens, declarations, rules, white space.
vantiro_add_test(css_tests
  SOURCES
    css_tokens_test.cpp
    css_style_test.cpp
  LIBS vantiro_passes)
