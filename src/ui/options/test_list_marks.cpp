#include "ui/options/test_list_marks.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

#include "text/gbk_text.h"
#include "ui/main/gbk_text.h"
#include "ui/main/keyword_look.h"
#include "ui/options/keywords_box.h"

namespace qw::ui {
namespace {

constexpr int kTypingPauseMs = 200;

}  // namespace

TestListMarks::TestListMarks(QTreeWidget& results, QLineEdit& titleIndex, KeywordsBox& keywords,
                             QObject* parent)
    : QObject(parent),
      results_(results),
      titleIndex_(titleIndex),
      keywords_(keywords),
      pause_(new QTimer(this)) {
  pause_->setSingleShot(true);
  pause_->setInterval(kTypingPauseMs);
  connect(pause_, &QTimer::timeout, this, &TestListMarks::Remark);
  // A test fills the list in one insertion; its marks are there before its message shows.
  connect(results_.model(), &QAbstractItemModel::rowsInserted, this, &TestListMarks::Remark);
  connect(&keywords_, &KeywordsBox::changed, this, &TestListMarks::RemarkSoon);
  connect(&titleIndex_, &QLineEdit::textChanged, this, &TestListMarks::RemarkSoon);
}

void TestListMarks::SetEveryoneKeywords(KeywordLists lists) {
  everyone_ = std::move(lists);
  RemarkSoon();
}

void TestListMarks::RemarkSoon() { pause_->start(); }

void TestListMarks::Remark() {
  pause_->stop();
  const int rows = results_.topLevelItemCount();
  const int columns = results_.columnCount();
  const KeywordLists own = keywords_.Lists();
  const bool any =
      !own.watch.empty() || !own.mute.empty() || !everyone_.watch.empty() || !everyone_.mute.empty();
  const QString indexText = titleIndex_.text().trimmed();
  const int column = ToInteger(ToGbk(indexText));
  const bool judged = any && rows > 0 && !indexText.isEmpty() && column >= 0 && column < columns;

  const CompiledKeywords scheme(judged ? own : KeywordLists{});
  const CompiledKeywords everyone(judged ? everyone_ : KeywordLists{});
  int watched = 0;
  int muted = 0;
  int quiet = 0;
  for (int r = 0; r < rows; ++r) {
    QTreeWidgetItem& row = *results_.topLevelItem(r);
    ClearKeywordMark(row, columns);
    if (!judged) continue;
    const KeywordVerdict verdict = JudgeTitle(ToGbk(row.text(column)), scheme, everyone);
    ShowKeywordMark(row, columns, verdict.mark, FromGbk(verdict.keyword));
    watched += verdict.mark == KeywordMark::kWatched ? 1 : 0;
    muted += verdict.mark == KeywordMark::kMuted ? 1 : 0;
    quiet += verdict.mark == KeywordMark::kNone && !verdict.alerts ? 1 : 0;
  }

  if (!any || rows == 0) {
    keywords_.SetNote({});
  } else if (!judged) {
    keywords_.SetNote(QStringLiteral("填好标题索引，测试结果就会标出关键词的效果"));
  } else {
    QString note = QStringLiteral("测试结果 %1 条：关注 %2 条，屏蔽 %3 条").arg(rows).arg(watched).arg(muted);
    if (quiet > 0) note += QStringLiteral("，另有 %1 条不提醒").arg(quiet);
    keywords_.SetNote(note);
  }
}

}  // namespace qw::ui
