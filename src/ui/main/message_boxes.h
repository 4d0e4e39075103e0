#pragma once
// The one way every message box of the program is shown. A test installs a handler that records what would
// have been shown, so no box ever blocks it.

#include <QString>
#include <functional>

class QWidget;

namespace qw::ui {

enum class MessageIcon { None, Information, Warning, Critical };

struct MessageRequest {
  QString text;
  QString caption;
  MessageIcon icon = MessageIcon::None;
};

// The caption every box has unless it names another.
QString DefaultCaption();

// A modal box with an OK button only, modal to the whole program; its text is shown as plain text.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption = DefaultCaption(),
                 MessageIcon icon = MessageIcon::None);

// What a settings write tells: "本设置将在软件下次启动时生效！" when it was saved, "保存失败，请重试！" when
// not.
void ShowSettingSaved(QWidget* parent, bool saved);

// Replaces the boxes with handler (nullptr restores them). Returns the handler it replaced.
using MessageHandler = std::function<void(const MessageRequest&)>;
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace qw::ui
