#include "ui/main/outer_size.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace qw::ui {
namespace {

// Watches a window until its frame is known, then gives it the outer size and goes.
class FrameWatch final : public QObject {
 public:
  FrameWatch(QWidget& window, const QSize& outer) : QObject(&window), window_(window), outer_(outer) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (watched == &window_ && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) &&
        window_.frameGeometry().size() != window_.size()) {
      window_.removeEventFilter(this);
      deleteLater();
      ResizeOuter(window_, outer_);
    }
    return false;
  }

 private:
  QWidget& window_;
  const QSize outer_;
};

}  // namespace

QSize OuterSizeOf(const QWidget& window) { return window.frameGeometry().size(); }

void ResizeOuter(QWidget& window, const QSize& outer) {
  const QSize frame = window.frameGeometry().size() - window.size();
  window.resize(std::max(1, outer.width() - frame.width()), std::max(1, outer.height() - frame.height()));
}

void ResizeOuterOnceFramed(QWidget& window, const QSize& outer) {
  ResizeOuter(window, outer);
  if (window.frameGeometry().size() == window.size()) new FrameWatch(window, outer);
}

}  // namespace qw::ui
