#pragma once
// 状态框, the status log the user follows. Any thread may write to it; every call is carried out on the
// window's thread in the order the calls were made, each append whole.

#include <QPlainTextEdit>
#include <mutex>
#include <string>
#include <vector>

#include "log/status_log.h"

namespace qw::ui {

class StatusBox final : public QPlainTextEdit, public StatusLog {
  Q_OBJECT

 public:
  explicit StatusBox(QWidget* parent = nullptr);

  void AppendStatusLine(std::string text) override;
  void SetStatusText(std::string text) override;

 private:
  struct Call {
    bool replace = false;
    std::string text;
  };

  void Enqueue(Call call);
  // Carries out every call queued so far, in order. Runs on the window's thread only.
  void Drain();

  std::mutex mutex_;
  std::vector<Call> pending_;
  bool drainPosted_ = false;
};

}  // namespace qw::ui
