#pragma once
// The mini homepage: the switch 迷你首页 and the page 网页框 it shows or hides. By default the page is the
// program's own start page, made without any network request; only an address the user set (主页) is shown
// by the web view, whose engine runs in a helper program. While closed the program holds no page at all, so
// an idle monitoring program keeps no web renderer.

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "ui/main/homepage_view.h"

class QToolButton;
class QWidget;

namespace qw::ui {

struct MiniHomepagePages {
  // The web view for the user's own address.
  HomepageViewFactory web;
  // The program's own start page.
  HomepageViewFactory own;
  // The user's own address, read at every opening; empty for the start page.
  std::function<QString()> address;
};

class MiniHomepage final : public QObject {
  Q_OBJECT

 public:
  // The switch and the view are children of window; the view lies directly below stackedUnder.
  MiniHomepage(QWidget* window, QWidget* stackedUnder, MiniHomepagePages pages);
  ~MiniHomepage() override;

  QToolButton* Switch() const { return switch_; }
  // The page view while open, nothing while closed.
  HomepageView* View() const { return view_.get(); }
  bool IsOpen() const;
  // Open on the program's own start page.
  bool ShowsStartPage() const { return view_ != nullptr && startPage_; }

  // Switch on, a new view showing the page.
  void Open();
  // Switch off, the view released. True when the homepage was open.
  bool Close();
  // Makes the start page anew, when it is shown; the user's own page is left as it is.
  void RefreshStartPage();

  // The view's place; kept for the next opening while closed.
  void SetGeometry(const QRect& geometry);

 private:
  void SwitchClicked(bool on);

  QWidget* window_;
  QWidget* stackedUnder_;
  MiniHomepagePages pages_;
  QToolButton* switch_;
  std::unique_ptr<HomepageView> view_;
  bool startPage_ = false;
  QRect geometry_;
};

}  // namespace qw::ui
