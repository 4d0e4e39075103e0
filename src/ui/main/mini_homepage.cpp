#include "ui/main/mini_homepage.h"

#include <QToolButton>
#include <QWidget>
#include <optional>
#include <utility>

#include "ui/main/app_icons.h"
#include "ui/main/web_address.h"

namespace qw::ui {

MiniHomepage::MiniHomepage(QWidget* window, QWidget* stackedUnder, MiniHomepagePages pages)
    : QObject(window),
      window_(window),
      stackedUnder_(stackedUnder),
      pages_(std::move(pages)),
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
  // Only a web address the user set goes to the web view; anything else (none, or one that is no web
  // address) gives the program's own page.
  const QString address = pages_.address ? pages_.address().trimmed() : QString();
  const std::optional<QUrl> own = address.isEmpty() ? std::nullopt : WebAddressToOpen(address, nullptr);
  startPage_ = !own;
  const HomepageViewFactory& views = startPage_ ? pages_.own : pages_.web;
  if (views) view_ = views(window_);
  if (!view_) return;
  QWidget* widget = view_->Widget();
  widget->setObjectName(QStringLiteral("网页框"));
  widget->setGeometry(geometry_);
  if (stackedUnder_ != nullptr) widget->stackUnder(stackedUnder_);
  view_->Load(own.value_or(QUrl()));
  widget->show();
}

bool MiniHomepage::Close() {
  const bool wasOpen = IsOpen();
  switch_->setChecked(false);
  view_.reset();
  return wasOpen;
}

void MiniHomepage::RefreshStartPage() {
  if (ShowsStartPage()) view_->Load(QUrl());
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
