#pragma once
// The language of vantiro-cli's own texts: its help, its usage errors and the
// words of its plain rows and summaries. One language per run, chosen from the
// locale: Chinese under zh_*, English otherwise. JSON keys and values, and
// the reasons the compressor gives, do not change with it.

#include "platform/text.h"

namespace vantiro::cli {

enum class Language { Chinese, English };

// The locale's language as LC_ALL, else LC_MESSAGES, else LANG names it (the
// first one set and not empty): Chinese for a name beginning with "zh".
Language languageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
Language languageOfEnvironment();

// The language of this run, set once before the arguments are parsed.
void useLanguage(Language language);
Language language();

// `zh` or `en`, as the run's language is.
const char* say(const char* zh, const char* en);

// A word the core writes into a row (a result, a page type, "未知") in the
// run's language; any other text as it is.
Text rowWord(TextView word);

}  // namespace vantiro::cli
