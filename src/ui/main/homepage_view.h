#pragma once
// The page view behind 网页框: the web engine in a helper program, a light stand-in in tests.

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

}  // namespace qw::ui
