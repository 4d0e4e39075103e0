#include "ui/main/keyword_look.h"

#include <QFont>
#include <QTreeWidgetItem>

#include "storage/keyword_marks.h"

namespace qw::ui {

QColor WatchedBackground() { return QColor(255, 230, 120); }
QColor MutedForeground() { return QColor(150, 150, 150); }

void ShowKeywordMark(QTreeWidgetItem& row, int columns, KeywordMark mark, const QString& keyword) {
  if (mark == KeywordMark::kNone) return;
  const QString tip =
      (mark == KeywordMark::kWatched ? QStringLiteral("关注词：") : QStringLiteral("屏蔽词：")) + keyword;
  // One font and one brush for the whole row; the cells share them.
  QFont bold = row.font(0);
  bold.setBold(true);
  const QBrush brush(mark == KeywordMark::kWatched ? WatchedBackground() : MutedForeground());
  for (int c = 0; c < columns; ++c) {
    row.setToolTip(c, tip);
    if (mark == KeywordMark::kWatched) {
      row.setFont(c, bold);
      row.setBackground(c, brush);
    } else {
      row.setForeground(c, brush);
    }
  }
}

void ClearKeywordMark(QTreeWidgetItem& row, int columns) {
  for (int c = 0; c < columns; ++c) {
    for (const int role : {Qt::ToolTipRole, Qt::FontRole, Qt::BackgroundRole, Qt::ForegroundRole}) {
      row.setData(c, role, QVariant());
    }
  }
}

QString WatchedButtonStyle() {
  return QStringLiteral(
             "QToolButton { background: %1; border: 1px solid transparent; border-radius: 3px; padding: 0px "
             "1px; }"
             "QToolButton:hover { border-color: #c9a400; }"
             "QToolButton:pressed { background: #f0c83c; }")
      .arg(WatchedBackground().name());
}

}  // namespace qw::ui
