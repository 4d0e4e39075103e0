#pragma once
// How a keyword's mark looks wherever titles are listed: a watched title bold on a highlighter's yellow, a
// muted one in grey letters; and the 关注 button in the same yellow.

#include <QColor>
#include <QString>

class QTreeWidgetItem;

namespace qw {
enum class KeywordMark : int;
}

namespace qw::ui {

QColor WatchedBackground();
QColor MutedForeground();

// Marks every column of the row, with the keyword that decided as its tooltip; KeywordMark::kNone leaves
// the row as it is.
void ShowKeywordMark(QTreeWidgetItem& row, int columns, KeywordMark mark, const QString& keyword);
// The row as it was before any mark.
void ClearKeywordMark(QTreeWidgetItem& row, int columns);

// The 关注 button: its caption on the marker colour.
QString WatchedButtonStyle();

}  // namespace qw::ui
