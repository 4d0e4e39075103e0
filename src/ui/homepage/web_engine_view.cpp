#include "ui/homepage/web_engine_view.h"

#include <QPointer>
#include <QWebEngineView>

#include "ui/main/quick_start.h"

namespace qw::ui {
namespace {

class WebEngineHomepageView final : public HomepageView {
 public:
  explicit WebEngineHomepageView(QWidget* parent) : view_(new QWebEngineView(parent)) {
    QObject::connect(view_, &QWebEngineView::loadFinished, view_, [this](bool ok) {
      // Only the homepage itself falls back; the quick start page's own load ends here too.
      if (!ok && !showingQuickStart_) {
        showingQuickStart_ = true;
        view_->setHtml(QuickStartPage());
      }
    });
  }
  // The window may have deleted its child already when the program ends.
  ~WebEngineHomepageView() override { delete view_.data(); }

  QWidget* Widget() override { return view_; }
  void Load(const QUrl& url) override {
    showingQuickStart_ = false;
    requested_ = url;
    view_->setUrl(url);
  }
  QUrl Url() const override { return requested_; }

 private:
  QPointer<QWebEngineView> view_;
  QUrl requested_;
  bool showingQuickStart_ = false;
};

}  // namespace

HomepageViewFactory WebEngineHomepageViews() {
  return [](QWidget* parent) -> std::unique_ptr<HomepageView> {
    return std::make_unique<WebEngineHomepageView>(parent);
  };
}

}  // namespace qw::ui
