#include "ui/main/message_boxes.h"

#include <QMessageBox>
#include <utility>

namespace qw::ui {
namespace {

MessageHandler& InstalledHandler() {
  static MessageHandler handler;
  return handler;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString DefaultCaption() { return QStringLiteral("信息："); }

void ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon) {
  const MessageRequest request{text, caption, icon};
  if (const MessageHandler& handler = InstalledHandler()) {
    handler(request);
    return;
  }
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, parent);
  // Boxes show statements, page text and database text, which may look like markup: never rendered.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void ShowSettingSaved(QWidget* parent, bool saved) {
  if (saved) {
    ShowMessage(parent, QStringLiteral("本设置将在软件下次启动时生效！"), QStringLiteral("　保存成功！"),
                MessageIcon::Information);
  } else {
    ShowMessage(parent, QStringLiteral("保存失败，请重试！"));
  }
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  return std::exchange(InstalledHandler(), std::move(handler));
}

}  // namespace qw::ui
