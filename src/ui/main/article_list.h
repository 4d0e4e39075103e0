#pragma once
// 文章列表框, the article list: one view of the stored articles at a time (all, favourites, the watched ones,
// one scheme's), newest first and at most 100. From it the user opens an article, marks a favourite and reads
// a row's fields in the status log. Articles a 关注词 matched as they were stored stand out (bold on a marker
// colour), those a 屏蔽词 matched are greyed.

#include <QTreeWidget>
#include <string>

#include "storage/keyword_marks.h"

class QAction;
class QMenu;

namespace qw {
class Connection;
class DatabaseBusy;
class SqlRunner;
class StatusLog;
}  // namespace qw

namespace qw::ui {

class MiniHomepage;

// View selectors of ListArticles.
inline constexpr int kAllArticles = 0;
inline constexpr int kFavourites = -999;
// 关注: the articles a 关注词 matched.
inline constexpr int kWatchedArticles = -998;

class ArticleList final : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { kId, kSite, kTitle, kLink, kTime, kState, kSpare, kColumnCount };

  ArticleList(Connection& main, DatabaseBusy& busy, SqlRunner& sql, StatusLog& log, MiniHomepage& homepage,
              QWidget* parent = nullptr);

  // The query of a view: 0 all, -999 favourites, -998 watched, otherwise a scheme's id.
  static std::string ArticleStatement(int view);

  // Refills the list with the view (closing the mini homepage first when it is shown).
  void ListArticles(int view);

  // The cell as stored, in GBK.
  std::string CellText(int row, int column) const;
  // What the keywords made of the row's article when it was stored.
  ArticleMark RowMark(int row) const;

  // The status-log line of the first selected row (every field empty without one).
  void WriteDetailLine();
  // 收藏文章: marks the selected row's article as a favourite.
  void MarkFavourite();

  // 文章菜单 and its first item.
  QMenu* Menu() const { return menu_; }
  QAction* FavouriteAction() const { return favouriteAction_; }

 signals:
  void openAddressRequested(const QString& address);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QTreeWidgetItem* SelectedRow() const;
  void ShowMenu();

  Connection& main_;
  DatabaseBusy& busy_;
  SqlRunner& sql_;
  StatusLog& log_;
  MiniHomepage& homepage_;
  QMenu* menu_;
  QAction* favouriteAction_;
};

}  // namespace qw::ui
