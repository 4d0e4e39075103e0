#pragma once
// A virtual X display with a system tray, and a person at its mouse and keyboard.
//
// XSession starts Xvfb on a free display and trayer as the tray host, and points DISPLAY at them; it is made
// before the test's own QApplication, which then shares the display (to grab the screen, to read and fill the
// clipboard). Person sends real X input through xdotool, so the program under test sees what it would see
// from a user.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace qw::test {

class XSession {
 public:
  XSession();
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool Ready() const { return ready_; }
  QString Display() const { return display_; }
  const std::string& Failure() const { return failure_; }

 private:
  QString display_;
  int xvfb_ = -1;
  int trayer_ = -1;
  bool ready_ = false;
  std::string failure_;
};

// Runs xdotool with the arguments and returns what it printed, processing this program's events meanwhile
// (the program under test may ask this one for the clipboard while xdotool waits).
QString Xdotool(const QStringList& arguments);

// Processes events until ready() or the time-out; true when ready() held.
bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step = std::chrono::milliseconds(50));

// Visible top-level windows whose name matches the pattern (an extended regular expression), newest last.
QStringList FindWindows(const QString& namePattern);
std::optional<QRect> WindowGeometry(const QString& window);

QImage GrabScreen();
QImage GrabArea(const QRect& area);

class Person {
 public:
  void Click(QPoint at, int button = 1);
  void DoubleClick(QPoint at);
  void RightClick(QPoint at) { Click(at, 3); }
  // Right-clicks and waits until a menu has been drawn next to the pointer; false when nothing appeared.
  bool OpenMenu(QPoint at);
  // Types ASCII text as key strokes.
  void Type(const QString& ascii);
  // Puts the text on the clipboard and pastes it (how a person enters Chinese on a desktop without an input
  // method).
  void Paste(const QString& text);
  // Replaces the text of the focused line box: select all, then type or paste.
  void Replace(const QString& text);
  // Key names as xdotool knows them, several separated by spaces ("Down Down Return").
  void Key(const QString& keys);
  // Waits for a message box with the caption, gives it the focus and answers it with Return; false when none
  // came.
  bool AnswerMessage(const QString& caption, std::chrono::milliseconds timeout = std::chrono::seconds(15));
  // The text of the focused text box, through select all and copy.
  QString CopyFocusedText();
};

}  // namespace qw::test
