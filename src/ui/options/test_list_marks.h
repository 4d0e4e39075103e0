#pragma once
// What the keywords would make of a test's hits, before anything is saved: each row of 测试列表框 marked as
// the article list marks a stored article, judged by the group that 标题索引 names, with the lists being
// edited and everyone's. The marks follow every test, and every edit of the lists or of 标题索引.

#include <QObject>

#include "keywords/title_judge.h"

class QLineEdit;
class QTimer;
class QTreeWidget;

namespace qw::ui {

class KeywordsBox;

class TestListMarks final : public QObject {
  Q_OBJECT

 public:
  TestListMarks(QTreeWidget& results, QLineEdit& titleIndex, KeywordsBox& keywords,
                QObject* parent = nullptr);

  // Everyone's lists, which join the scheme's own.
  void SetEveryoneKeywords(KeywordLists lists);
  // Marks every row now.
  void Remark();

 private:
  void RemarkSoon();

  QTreeWidget& results_;
  QLineEdit& titleIndex_;
  KeywordsBox& keywords_;
  KeywordLists everyone_;
  // Typing marks again once it pauses, not at every key.
  QTimer* pause_;
};

}  // namespace qw::ui
