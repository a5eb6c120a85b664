#pragma once
// Between the program's text type and Qt's strings.

#include "common/text.h"

#include <QList>
#include <QString>

namespace vantiro::ui {

inline QString toQString(TextView text) {
  return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

inline Text fromQString(const QString& s) {
  auto v = s.toUcs4();
  return Text(v.begin(), v.end());
}

}  // namespace vantiro::ui
