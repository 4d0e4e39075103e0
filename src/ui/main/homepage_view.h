#pragma once
// The page view behind 网页框: the web engine in the program, a light stand-in in tests.

#include <QUrl>
#include <functional>
#include <memory>

class QWidget;

namespace qw::ui {

class HomepageView {
 public:
  virtual ~HomepageView() = default;
  virtual QWidget* Widget() = 0;
  // Requests the page anew.
  virtual void Load(const QUrl& url) = 0;
  virtual QUrl Url() const = 0;
};

using HomepageViewFactory = std::function<std::unique_ptr<HomepageView>(QWidget* parent)>;

// Views on the web engine. When the page cannot be loaded (no network, no server), the view shows the
// program's own quick start instead of the engine's error page.
HomepageViewFactory WebEngineHomepageViews();

}  // namespace qw::ui
