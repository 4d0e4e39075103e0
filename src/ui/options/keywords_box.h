#pragma once
// 关键词: the two keyword lists side by side, 关注词 (the titles that matter: where there are any, only they
// alert) and 屏蔽词 (titles kept quiet, greyed in the list), one entry per line. The scheme editor holds one
// for the scheme being edited; 高级设置 one for every scheme.

#include <QGroupBox>
#include <optional>

#include "keywords/title_judge.h"

class QGridLayout;
class QLabel;
class QPlainTextEdit;

namespace qw::ui {

class KeywordsBox final : public QGroupBox {
  Q_OBJECT

 public:
  // A compact box shows four lines at most and leaves the rest of its column to what lies beside it.
  KeywordsBox(const QString& title, bool compact, QWidget* parent = nullptr);

  void SetLists(const KeywordLists& lists);
  // The lists as typed, GBK, one entry per line; empty lines left out.
  KeywordLists Lists() const;
  // Why the lists cannot be saved (an expression the engine refuses, in its own words), or nothing.
  std::optional<QString> Problem() const;

  // A line under the boxes, for what the lists make of a test's hits; empty for how to write them.
  void SetNote(const QString& text);
  QString Note() const;

  // A button at the foot of the group, on the right.
  void AddButton(QWidget* button);

  QPlainTextEdit& WatchBox() const { return *watch_; }
  QPlainTextEdit& MuteBox() const { return *mute_; }

 signals:
  // Either list was edited.
  void changed();

 private:
  QPlainTextEdit* watch_;
  QPlainTextEdit* mute_;
  QLabel* note_;
  QGridLayout* grid_;
};

}  // namespace qw::ui
