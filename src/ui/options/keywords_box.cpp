#include "ui/options/keywords_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

#include "keywords/keyword_entries.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

QPlainTextEdit* ListBox(const QString& name, const QString& placeholder, bool compact, QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setPlaceholderText(placeholder);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setTabChangesFocus(true);
  // Two lines at least, so that the form keeps the window's size; a compact box four at most, so that what
  // lies beside it keeps its room. Longer lists scroll.
  const int frame = 2 * box->frameWidth() + 8;
  box->setMinimumHeight(box->fontMetrics().lineSpacing() * 2 + frame);
  if (compact) box->setMaximumHeight(box->fontMetrics().lineSpacing() * 4 + frame);
  return box;
}

QLabel* Caption(const QString& text) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  return label;
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

KeywordsBox::KeywordsBox(const QString& title, bool compact, QWidget* parent) : QGroupBox(title, parent) {
  watch_ = ListBox(QStringLiteral("关注词框"), QStringLiteral("有关注词时，只有命中的新文章才提醒"), compact,
                   this);
  mute_ =
      ListBox(QStringLiteral("屏蔽词框"), QStringLiteral("命中的新文章不提醒，列表中变灰"), compact, this);
  note_ = new QLabel(UsageNote(), this);
  note_->setObjectName(QStringLiteral("关键词说明"));
  note_->setWordWrap(true);
  grid_ = new QGridLayout(this);
  grid_->setVerticalSpacing(2);
  grid_->addWidget(Caption(QStringLiteral("关注词")), 0, 0);
  grid_->addWidget(watch_, 0, 1);
  grid_->addWidget(Caption(QStringLiteral("屏蔽词")), 0, 2);
  grid_->addWidget(mute_, 0, 3);
  grid_->addWidget(note_, 1, 0, 1, 4);
  grid_->setColumnStretch(1, 1);
  grid_->setColumnStretch(3, 1);
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

void KeywordsBox::AddButton(QWidget* button) { grid_->addWidget(button, 2, 0, 1, 4, Qt::AlignRight); }

void KeywordsBox::SetNote(const QString& text) { note_->setText(text.isEmpty() ? UsageNote() : text); }

QString KeywordsBox::Note() const { return note_->text(); }

}  // namespace qw::ui
