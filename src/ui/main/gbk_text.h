#pragma once
// The edge between the core's GBK texts and Qt's strings. Nothing else in the windows converts.

#include <QString>
#include <string>
#include <string_view>

namespace qw::ui {

// A GBK text for showing; invalid bytes show as replacement characters.
QString FromGbk(std::string_view gbk);
// Typed or shown text as GBK; characters GBK lacks become "?".
std::string ToGbk(const QString& text);

}  // namespace qw::ui
