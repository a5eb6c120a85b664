#pragma once
// Between the program's text type and Qt's strings, losslessly for every text
// that can name a file: an escape standing for a byte that is not valid UTF-8
// (0xDC80..0xDCFF) travels as the same lone surrogate in the QString, and
// comes back as itself, so a window can hand any name it shows back to the
// file system. Characters a QString cannot hold at all (the code pages' own
// values above Unicode) show as U+FFFD.

#include "platform/text.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <string>

namespace vantiro::ui {

inline QString toQString(TextView text) {
  QString s;
  s.reserve(static_cast<qsizetype>(text.size()));
  for (char32_t c : text) {
    if (c < 0x10000) {
      s.append(QChar(static_cast<char16_t>(c)));
    } else if (c <= 0x10FFFF) {
      s.append(QChar(QChar::highSurrogate(c)));
      s.append(QChar(QChar::lowSurrogate(c)));
    } else {
      s.append(QChar(QChar::ReplacementCharacter));
    }
  }
  return s;
}

inline Text fromQString(const QString& s) {
  Text text;
  text.reserve(static_cast<std::size_t>(s.size()));
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t u = s[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
      text.push_back(QChar::surrogateToUcs4(u, s[i + 1].unicode()));
      ++i;
    } else {
      text.push_back(u);  // a lone surrogate stays itself
    }
  }
  return text;
}

// A file URL for a native path, its bytes percent-encoded, so that a name
// that is not valid UTF-8 is dragged out as what it is.
inline QUrl fileUrl(const std::string& native) {
  return QUrl::fromEncoded(QByteArrayLiteral("file://") + QByteArray::fromStdString(native).toPercentEncoding("/"));
}

// The native path a local file URL names, byte for byte.
inline std::string nativePathOfUrl(const QUrl& url) {
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace vantiro::ui
