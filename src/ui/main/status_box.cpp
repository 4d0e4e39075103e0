#include "ui/main/status_box.h"

#include <QThread>
#include <utility>

#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

// The log's texts break lines with CR LF; the box breaks them with one paragraph separator.
QString ShownText(const std::string& gbk) {
  QString text = FromGbk(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

StatusBox::StatusBox(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  // A day of monitoring appends hundreds of thousands of lines; an undo history of them would only grow.
  setUndoRedoEnabled(false);
}

void StatusBox::AppendStatusLine(std::string text) { Enqueue({false, std::move(text)}); }

void StatusBox::SetStatusText(std::string text) { Enqueue({true, std::move(text)}); }

void StatusBox::Enqueue(Call call) {
  const bool onWindowThread = QThread::currentThread() == thread();
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(call));
    if (!onWindowThread && !drainPosted_) post = drainPosted_ = true;
  }
  // A call on the window's thread first carries out every earlier call from a worker, then its own.
  if (onWindowThread) {
    Drain();
  } else if (post) {
    QMetaObject::invokeMethod(this, &StatusBox::Drain, Qt::QueuedConnection);
  }
}

void StatusBox::Drain() {
  std::vector<Call> calls;
  {
    std::lock_guard lock(mutex_);
    calls.swap(pending_);
    drainPosted_ = false;
  }
  if (calls.empty()) return;
  // Only the last replacement and the appends after it decide the text, so a burst from a worker becomes
  // one change of the box.
  std::size_t first = 0;
  for (std::size_t i = calls.size(); i-- > 0;) {
    if (calls[i].replace) {
      first = i;
      break;
    }
  }
  QString appended;
  for (std::size_t i = first; i < calls.size(); ++i) {
    if (!calls[i].replace) appended += ShownText(calls[i].text);
  }
  if (calls[first].replace) {
    setPlainText(ShownText(calls[first].text) + appended);
    // A replaced text is read from its beginning, unless lines were appended after it.
    if (appended.isEmpty()) return;
  } else {
    moveCursor(QTextCursor::End);
    insertPlainText(appended);
  }
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
}

}  // namespace qw::ui
