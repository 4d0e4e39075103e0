#include "ui/main/mini_homepage.h"

#include <QToolButton>
#include <QWidget>
#include <utility>

#include "ui/main/app_icons.h"
#include "ui/main/publisher.h"

namespace qw::ui {

QUrl MiniHomepageAddress() {
  return QUrl(QStringLiteral("http://%1/zt/softnews.php?w=735&h=410&s=win10&n=quillwatch&v=2.0")
                  .arg(PublisherHost()));
}

MiniHomepage::MiniHomepage(QWidget* window, QWidget* stackedUnder, HomepageViewFactory views)
    : QObject(window),
      window_(window),
      stackedUnder_(stackedUnder),
      views_(std::move(views)),
      switch_(new QToolButton(window)) {
  switch_->setObjectName(QStringLiteral("迷你首页"));
  switch_->setToolTip(QStringLiteral("迷你首页 开关"));
  switch_->setCheckable(true);
  switch_->setAutoRaise(true);
  switch_->setIcon(SwitchIcon());
  switch_->setIconSize(QSize(34, 18));
  connect(switch_, &QToolButton::clicked, this, &MiniHomepage::SwitchClicked);
}

MiniHomepage::~MiniHomepage() = default;

bool MiniHomepage::IsOpen() const { return switch_->isChecked(); }

void MiniHomepage::Open() {
  switch_->setChecked(true);
  view_.reset();
  if (views_) view_ = views_(window_);
  if (!view_) return;
  QWidget* widget = view_->Widget();
  widget->setObjectName(QStringLiteral("网页框"));
  widget->setGeometry(geometry_);
  if (stackedUnder_ != nullptr) widget->stackUnder(stackedUnder_);
  view_->Load(MiniHomepageAddress());
  widget->show();
}

bool MiniHomepage::Close() {
  const bool wasOpen = IsOpen();
  switch_->setChecked(false);
  view_.reset();
  return wasOpen;
}

void MiniHomepage::SetGeometry(const QRect& geometry) {
  geometry_ = geometry;
  if (view_) view_->Widget()->setGeometry(geometry);
}

void MiniHomepage::SwitchClicked(bool on) {
  // The switch has already changed its state when the click arrives.
  if (on) {
    Open();
  } else {
    Close();
  }
}

}  // namespace qw::ui
