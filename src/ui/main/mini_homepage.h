#pragma once
// The mini homepage: the switch 迷你首页 and the page view 网页框 it shows or hides. While closed the program
// holds no page view at all, so an idle monitoring program keeps no web renderer.

#include <QObject>
#include <QRect>
#include <QUrl>
#include <memory>

#include "ui/main/homepage_view.h"

class QToolButton;
class QWidget;

namespace qw::ui {

// The publisher's news page for this version.
QUrl MiniHomepageAddress();

class MiniHomepage final : public QObject {
  Q_OBJECT

 public:
  // The switch and the view are children of window; the view lies directly below stackedUnder.
  MiniHomepage(QWidget* window, QWidget* stackedUnder, HomepageViewFactory views);
  ~MiniHomepage() override;

  QToolButton* Switch() const { return switch_; }
  // The page view while open, nothing while closed.
  HomepageView* View() const { return view_.get(); }
  bool IsOpen() const;

  // Switch on, a new view loading the page, shown.
  void Open();
  // Switch off, the view released. True when the homepage was open.
  bool Close();

  // The view's place; kept for the next opening while closed.
  void SetGeometry(const QRect& geometry);

 private:
  void SwitchClicked(bool on);

  QWidget* window_;
  QWidget* stackedUnder_;
  HomepageViewFactory views_;
  QToolButton* switch_;
  std::unique_ptr<HomepageView> view_;
  QRect geometry_;
};

}  // namespace qw::ui
