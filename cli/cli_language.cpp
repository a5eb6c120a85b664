#include "cli/cli_language.h"

#include <cstdlib>
#include <cstring>

namespace vantiro::cli {
namespace {

Language& chosen() {
  static Language language = Language::Chinese;
  return language;
}

struct RowWord {
  TextView chinese;
  TextView english;
};

constexpr RowWord kRowWords[] = {
    {U"压缩成功", U"compressed"}, {U"压缩失败", U"failed"},      {U"文件不在", U"missing"},
    {U"成功替换", U"replaced"},   {U"错误", U"error"},           {U"已还原", U"restored"},
    {U"未还原", U"not restored"}, {U"超文本文件", U"HTML page"}, {U"未知类型", U"unknown type"},
    {U"未知", U"unknown"},        {U"默认为英文网页", U"none (English by default)"},
};

}  // namespace

Language languageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang})
    if (value != nullptr && *value != '\0') return std::strncmp(value, "zh", 2) == 0 ? Language::Chinese : Language::English;
  return Language::English;
}

Language languageOfEnvironment() {
  return languageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

void useLanguage(Language language) { chosen() = language; }

Language language() { return chosen(); }

const char* say(const char* zh, const char* en) { return chosen() == Language::Chinese ? zh : en; }

Text rowWord(TextView word) {
  if (chosen() == Language::English)
    for (const RowWord& w : kRowWords)
      if (w.chinese == word) return Text(w.english);
  return Text(word);
}

}  // namespace vantiro::cli
