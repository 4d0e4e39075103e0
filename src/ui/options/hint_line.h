#pragma once
// 测试提示, the editor's one-line hint: green body text, red links that turn blue and underlined under the
// mouse. A link goes to the window's checked opener, never straight to the desktop.

#include <QLabel>
#include <functional>

namespace qw::ui {

class HintLine final : public QLabel {
  Q_OBJECT

 public:
  explicit HintLine(std::function<void(const QString&)> openAddress, QWidget* parent = nullptr);

  // The hint: plain text, optionally followed by one link.
  void ShowHint(const QString& text, const QString& linkText = {}, const QString& linkAddress = {});
  QString HintText() const { return text_; }
  QString LinkAddress() const { return linkAddress_; }

 private:
  void Render();

  std::function<void(const QString&)> openAddress_;
  QString text_;
  QString linkText_;
  QString linkAddress_;
  bool linkHovered_ = false;
};

}  // namespace qw::ui
