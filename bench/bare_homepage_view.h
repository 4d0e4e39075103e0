#pragma once
// A mini-homepage view that is a plain widget: the window's benchmarks measure the program, not a web page.

#include <QUrl>
#include <QWidget>
#include <memory>

#include "ui/main/homepage_view.h"

namespace qw::bench {

class BareHomepageView final : public ui::HomepageView {
 public:
  explicit BareHomepageView(QWidget* parent) : widget_(new QWidget(parent)) {}
  ~BareHomepageView() override { delete widget_; }
  QWidget* Widget() override { return widget_; }
  void Load(const QUrl& url) override { url_ = url; }
  QUrl Url() const override { return url_; }

 private:
  QWidget* widget_;
  QUrl url_;
};

inline ui::HomepageViewFactory BareHomepageViews() {
  return [](QWidget* parent) -> std::unique_ptr<ui::HomepageView> {
    return std::make_unique<BareHomepageView>(parent);
  };
}

}  // namespace qw::bench
