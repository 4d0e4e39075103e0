#include "ui/options/keywords_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

#include "keywords/keyword_entries.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

QPlainTextEdit* ListBox(const QString& name, const QString& placeholder, QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setPlaceholderText(placeholder);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setTabChangesFocus(true);
  return box;
}

QString UsageNote() { return QStringLiteral("每行一个，不分大小写；写成 /…/ 的是正则表达式"); }

QString Shown(const std::string& gbk) {
  QString text = FromGbk(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string Typed(const QPlainTextEdit& box) { return ToGbk(box.toPlainText()); }

std::optional<QString> ProblemOf(const QString& list, const QPlainTextEdit& box) {
  const std::optional<KeywordProblem> problem = CheckKeywordLines(Typed(box));
  if (!problem) return std::nullopt;
  return QStringLiteral("%1第 %2 行“%3”不是有效的正则表达式：%4")
      .arg(list)
      .arg(problem->line)
      .arg(FromGbk(problem->text), FromGbk(problem->reason));
}

}  // namespace

KeywordsBox::KeywordsBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
  watch_ = ListBox(QStringLiteral("关注词框"), QStringLiteral("有关注词时，只有命中的新文章才提醒"), this);
  mute_ = ListBox(QStringLiteral("屏蔽词框"), QStringLiteral("命中的新文章不提醒，列表中变灰"), this);
  note_ = new QLabel(UsageNote(), this);
  note_->setObjectName(QStringLiteral("关键词说明"));
  note_->setWordWrap(true);
  auto* grid = new QGridLayout(this);
  grid->setVerticalSpacing(2);
  grid->addWidget(new QLabel(QStringLiteral("关注词")), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("屏蔽词")), 0, 1);
  grid->addWidget(watch_, 1, 0);
  grid->addWidget(mute_, 1, 1);
  grid->addWidget(note_, 2, 0, 1, 2);
  connect(watch_, &QPlainTextEdit::textChanged, this, &KeywordsBox::changed);
  connect(mute_, &QPlainTextEdit::textChanged, this, &KeywordsBox::changed);
}

void KeywordsBox::SetLists(const KeywordLists& lists) {
  watch_->setPlainText(Shown(lists.watch));
  mute_->setPlainText(Shown(lists.mute));
}

KeywordLists KeywordsBox::Lists() const {
  return {NormalizeKeywordText(Typed(*watch_)), NormalizeKeywordText(Typed(*mute_))};
}

std::optional<QString> KeywordsBox::Problem() const {
  if (std::optional<QString> problem = ProblemOf(QStringLiteral("关注词"), *watch_)) return problem;
  return ProblemOf(QStringLiteral("屏蔽词"), *mute_);
}

void KeywordsBox::SetNote(const QString& text) { note_->setText(text.isEmpty() ? UsageNote() : text); }

QString KeywordsBox::Note() const { return note_->text(); }

}  // namespace qw::ui
