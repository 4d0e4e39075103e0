#include "ui/options/scheme_proposer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <utility>

#include "extract/rule_test.h"
#include "propose/page_fetch.h"
#include "text/gbk_text.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/options/rule_tester.h"

namespace qw::ui {
namespace {

// How much of the first title a drop-down entry shows.
constexpr int kShownTitle = 16;

QString CandidateCaption(int i, const propose::ProposedScheme& scheme) {
  QString title = scheme.articles.empty() ? QString() : FromGbk(scheme.articles.front().title);
  if (title.size() > kShownTitle) title = title.left(kShownTitle) + QStringLiteral("…");
  return QStringLiteral("候选 %1：%2 条，%3").arg(i + 1).arg(scheme.articles.size()).arg(title);
}

}  // namespace

SchemeProposer::SchemeProposer(ProposerControls controls, RuleTester& tester, FetchLimits limits,
                               RenderSettings render, QWidget* parent)
    : QObject(parent),
      controls_(std::move(controls)),
      tester_(tester),
      limits_(std::move(limits)),
      render_(std::move(render)),
      window_(parent),
      button_(new QPushButton(QStringLiteral("自动识别"), parent)),
      candidates_(new QComboBox(parent)) {
  button_->setObjectName(QStringLiteral("按钮_自动识别"));
  button_->setToolTip(QStringLiteral("打开监控网址，自动找出页面中的文章列表并填好采集区域、正则和数据项"));
  candidates_->setObjectName(QStringLiteral("候选框"));
  candidates_->setEnabled(false);
  candidates_->setPlaceholderText(QStringLiteral("自动识别的候选方案"));
  connect(button_, &QPushButton::clicked, this, &SchemeProposer::Run);
  connect(candidates_, &QComboBox::activated, this, &SchemeProposer::Pick);
}

void SchemeProposer::Run() {
  if (tester_.Running()) return;
  const std::string url = ToGbk(controls_.url->text().trimmed());
  if (url.empty()) {
    ShowMessage(window_->window(), QStringLiteral("请先填写监控网址！"), DefaultCaption(), MessageIcon::Critical);
    return;
  }
  if (IsBlockedSite(url)) {
    ShowMessage(window_->window(), QStringLiteral("此站不允许监控!"), DefaultCaption(), MessageIcon::Critical);
    return;
  }
  const std::string cookie = ToGbk(controls_.cookie->text());
  const std::string ua = ToGbk(controls_.ua->text());
  // A page built by scripts is proposed for as the browser leaves it, in the encoding the scheme reads it in.
  const bool render = controls_.render->isChecked();
  const std::string code = controls_.gbk->isChecked() ? "1" : "0";
  propose::FetchedProposalPage page;
  propose::Proposals proposals;
  const bool finished = tester_.RunBlocking([&](std::stop_token stop) {
    page = render ? propose::RenderProposalPage(url, cookie, ua, code, render_, stop)
                  : propose::FetchProposalPage(url, cookie, ua, limits_, stop);
    if (!stop.stop_requested()) proposals = propose::ProposeSchemes(page.text, url);
  });
  if (!finished) return;
  if (page.text.empty()) {
    // As the rule tester tells a page that did not come, with the browser's reason when there is one.
    RuleTestResult nothing;
    nothing.failure = page.failure;
    tester_.ShowResult(nothing);
    return;
  }
  switch (proposals.outcome) {
    case propose::Proposals::kFound:
      break;
    case propose::Proposals::kTooDeep:
      ShowMessage(window_->window(),
                  QStringLiteral("页面的标签嵌套过深，无法自动识别。请手动填写采集区域和正则匹配。"));
      return;
    default:
      ShowMessage(window_->window(), QStringLiteral("页面中没有找到重复出现的文章链接，无法自动识别。"
                                                    "请确认监控网址是文章列表页，或手动填写采集区域和正则匹配。"));
      return;
  }
  page_ = std::move(page.text);
  code_ = std::move(page.code);
  proposals_ = std::move(proposals);
  candidates_->clear();
  for (std::size_t i = 0; i < proposals_.candidates.size(); ++i) {
    candidates_->addItem(CandidateCaption(static_cast<int>(i), proposals_.candidates[i]));
  }
  candidates_->setEnabled(true);
  candidates_->setCurrentIndex(0);
  Pick(0);
  const propose::ProposedScheme& best = proposals_.candidates.front();
  ShowMessage(window_->window(),
              QStringLiteral("自动识别成功：取到　%1条文章！\n已填入候选 1（共 %2 个候选，可在下拉框中换用）。"
                             "请检查测试列表，填好方案名称后保存。")
                      .arg(best.articles.size())
                      .arg(proposals_.candidates.size()) +
                  (page.note.empty() ? QString() : QStringLiteral("\n") + FromGbk(page.note)));
}

void SchemeProposer::Pick(int i) {
  if (i < 0 || static_cast<std::size_t>(i) >= proposals_.candidates.size()) return;
  const propose::ProposedScheme& scheme = proposals_.candidates[static_cast<std::size_t>(i)];
  Fill(scheme);
  // The hits as the rule tester finds them on the same page, with the fields just filled.
  RuleTestResult result;
  result.region = CutRegion(page_, scheme.before, scheme.after);
  if (!result.region.empty()) result.hits = MatchAll(scheme.regular, result.region);
  result.groupCount = GroupCount(scheme.regular);
  tester_.ShowResult(result, false);
}

void SchemeProposer::Fill(const propose::ProposedScheme& scheme) {
  controls_.gbk->setChecked(code_ == "1");
  controls_.before->setText(FromGbk(scheme.before));
  controls_.after->setText(FromGbk(scheme.after));
  controls_.expression->setEditText(FromGbk(scheme.regular));
  controls_.setMode(scheme.type);
  controls_.titleIndex->setText(FromGbk(scheme.tindex));
  controls_.idIndex->setText(scheme.uindex.empty() ? QStringLiteral("0") : FromGbk(scheme.uindex));
  controls_.spareIndex->setText(FromGbk(scheme.oindex));
  controls_.urlTemplate->setText(FromGbk(scheme.buquan));
}

}  // namespace qw::ui
