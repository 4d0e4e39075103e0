#pragma once
// The edge between the core's GBK texts and Qt's strings. Nothing else in the windows converts.

#include <QString>
#include <string>
#include <string_view>

class QTreeWidgetItem;

namespace qw::ui {

// A GBK text for showing; invalid bytes show as replacement characters.
QString FromGbk(std::string_view gbk);
// Typed or shown text as GBK; characters GBK lacks become "?".
std::string ToGbk(const QString& text);

// A list cell that shows a GBK text and keeps its bytes, so that what goes back into a statement or the
// status log is what the database gave, whatever showing it made of invalid bytes.
void SetStoredCell(QTreeWidgetItem& item, int column, const std::string& gbk);
std::string StoredCell(const QTreeWidgetItem& item, int column);

}  // namespace qw::ui
