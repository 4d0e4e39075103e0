#include "ui/main/article_list.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <array>

#include "log/status_log.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/sql_runner.h"
#include "text/encoding.h"
#include "text/waiting.h"
#include "ui/main/gbk_text.h"
#include "ui/main/keyword_look.h"
#include "ui/main/mini_homepage.h"

namespace qw::ui {
namespace {

// Positions in table info of the cells 0 to 6: id, planname, title, url, addtime, issoucang, other.
constexpr std::array<int, ArticleList::kColumnCount> kInfoColumn = {0, 1, 3, 4, 6, 7, 5};

struct ColumnDesign {
  const char* title;
  int width;
};
constexpr std::array<ColumnDesign, ArticleList::kColumnCount> kColumns = {{
    {"ID", 40},
    {"站点", 100},
    {"帖子标题", 250},
    {"链接", 55},
    {"更新时间", 120},
    {"状态", 0},
    {"备用", 94},
}};

// How often a waiting view tests the busy flag again.
constexpr std::int32_t kBusyPollMs = 50;

// Where a row keeps its mark and the keyword that made it.
constexpr int kMarkRole = Qt::UserRole + 1;
constexpr int kKeywordRole = Qt::UserRole + 2;

// An article id as the table gives it: decimal digits, perhaps after a minus sign.
bool IsArticleId(std::string_view id) {
  if (!id.empty() && id.front() == '-') id.remove_prefix(1);
  if (id.empty()) return false;
  for (const char c : id) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

ArticleList::ArticleList(Connection& main, DatabaseBusy& busy, SqlRunner& sql, StatusLog& log,
                         MiniHomepage& homepage, QWidget* parent)
    : QTreeWidget(parent),
      main_(main),
      busy_(busy),
      sql_(sql),
      log_(log),
      homepage_(homepage),
      menu_(new QMenu(this)) {
  setObjectName(QStringLiteral("文章列表框"));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setColumnCount(kColumnCount);
  QStringList titles;
  for (const ColumnDesign& column : kColumns) titles << QString::fromUtf8(column.title);
  setHeaderLabels(titles);
  header()->setStretchLastSection(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, kColumns[static_cast<std::size_t>(c)].width);
  // 状态 holds the favourite flag for the detail line; it is never shown.
  setColumnHidden(kState, true);

  favouriteAction_ = menu_->addAction(QStringLiteral("收藏文章"), this, &ArticleList::MarkFavourite);
  menu_->addAction(QStringLiteral("删除文章"))->setEnabled(false);
  menu_->addAction(QStringLiteral("清空列表"))->setEnabled(false);
}

std::string ArticleList::ArticleStatement(int view) {
  std::string condition;
  if (view == kWatchedArticles) return WatchedArticlesStatement();
  if (view == kAllArticles) {
    condition = "1";
  } else if (view == kFavourites) {
    condition = "issoucang=1";
  } else {
    // The double-quoted id names no column, so SQLite reads it as the text, compared with planid's number.
    condition = "planid=\"" + std::to_string(view) + "\"";
  }
  return "select * from info where " + condition + " order by id desc LIMIT 100";
}

void ArticleList::ListArticles(int view) {
  if (homepage_.Close()) log_.AppendStatusLine(QW_GBK("\r\n迷你首页已关闭，可点左上角开关重新打开！"));
  PumpPendingMessages();
  const std::string statement = ArticleStatement(view);
  ResultTable table;
  std::map<std::string, ArticleMark> marks;
  {
    // The window goes on handling events while a statement of the monitoring holds the connection; the
    // flag is held for the query alone, never while the rows are added.
    BusyGuard guard(busy_, kBusyPollMs);
    if (!guard.held()) {
      // This call runs inside the wait of a statement of the window's own, which holds the flag lower on
      // this stack: the list is filled once that statement has ended.
      QTimer::singleShot(kBusyPollMs, this, [this, view] { ListArticles(view); });
      return;
    }
    table = Query(main_, statement);
    std::vector<std::string> ids;
    ids.reserve(table.rows.size());
    for (int r = 0; r < table.RowCount(); ++r) ids.push_back(table.Cell(r, kInfoColumn[kId]));
    marks = ReadKeywordMarks(main_, ids);
  }
  clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(table.RowCount());
  for (int r = 0; r < table.RowCount(); ++r) {
    auto* item = new QTreeWidgetItem();
    for (int c = 0; c < kColumnCount; ++c) {
      SetStoredCell(*item, c, table.Cell(r, kInfoColumn[static_cast<std::size_t>(c)]));
    }
    const auto mark = marks.find(table.Cell(r, kInfoColumn[kId]));
    if (mark != marks.end()) {
      item->setData(kId, kMarkRole, static_cast<int>(mark->second.mark));
      item->setData(kId, kKeywordRole, QByteArray::fromStdString(mark->second.keyword));
      ShowKeywordMark(*item, kColumnCount, mark->second.mark, FromGbk(mark->second.keyword));
    }
    rows.push_back(item);
  }
  addTopLevelItems(rows);
  clearSelection();
  setCurrentItem(nullptr);
}

std::string ArticleList::CellText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item != nullptr ? StoredCell(*item, column) : std::string();
}

ArticleMark ArticleList::RowMark(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) return {};
  return {static_cast<KeywordMark>(item->data(kId, kMarkRole).toInt()),
          item->data(kId, kKeywordRole).toByteArray().toStdString()};
}

QTreeWidgetItem* ArticleList::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? nullptr : selected.front();
}

void ArticleList::WriteDetailLine() {
  static const std::array<const char*, kColumnCount> kLabels = {
      "文章ID：", "；所属站点：", "；文章标题：", "；链接：", "；更新时间：", "；状态：", "；备注："};
  const QTreeWidgetItem* row = SelectedRow();
  std::string line;
  for (int c = 0; c < kColumnCount; ++c) {
    line += Utf8ToGbk(kLabels[static_cast<std::size_t>(c)]);
    if (row != nullptr) line += StoredCell(*row, c);
  }
  log_.SetStatusText(std::move(line));
}

void ArticleList::MarkFavourite() {
  const QTreeWidgetItem* row = SelectedRow();
  if (row == nullptr) return;
  const std::string id = StoredCell(*row, kId);
  // The id is spliced into the statement bare, so it must be a number and nothing else.
  if (!IsArticleId(id)) {
    log_.AppendStatusLine(QW_GBK("\r\n文章ID无效，未收藏：") + id);
    return;
  }
  sql_.Run("update info set issoucang=1 where id=" + id);
}

void ArticleList::mousePressEvent(QMouseEvent* event) {
  // A press on empty space below the rows leaves no row selected, as in any report list.
  if (itemAt(event->position().toPoint()) == nullptr) {
    clearSelection();
    setCurrentItem(nullptr);
  }
  QTreeWidget::mousePressEvent(event);
}

void ArticleList::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) WriteDetailLine();
  if (event->button() == Qt::RightButton) ShowMenu();
}

void ArticleList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  if (const QTreeWidgetItem* row = SelectedRow()) emit openAddressRequested(row->text(kLink));
}

void ArticleList::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse's menu comes with the right button's release; the keyboard's menu key opens it too.
  event->accept();
  if (event->reason() == QContextMenuEvent::Keyboard) ShowMenu();
}

void ArticleList::ShowMenu() {
  favouriteAction_->setEnabled(SelectedRow() != nullptr);
  menu_->popup(QCursor::pos() + QPoint(3, 3));
}

}  // namespace qw::ui
