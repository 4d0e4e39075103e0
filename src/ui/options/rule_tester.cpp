#include "ui/options/rule_tester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"

namespace qw::ui {
namespace {

constexpr int kColumnWidth = 80;

// A text box lays a long line out whole, about half a second per MiB; beyond this the region is shown cut,
// while the expression still runs over all of it.
constexpr std::size_t kShownRegionBytes = 1u << 20;

// The region as the output box shows it: every kind of line break as one break, at most kShownRegionBytes
// (cut between two characters) followed by a line saying how much there is.
QString ShownRegion(const std::string& region) {
  std::size_t cut = 0;
  while (cut < region.size() && cut < kShownRegionBytes) {
    cut += static_cast<unsigned char>(region[cut]) >= 0x80 ? 2 : 1;
  }
  cut = std::min(cut, region.size());
  QString text = FromGbk(std::string_view(region).substr(0, cut));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (cut < region.size()) {
    text += QStringLiteral("\n……（截取源码共 %1 字节，此处只显示前 %2 字节）").arg(region.size()).arg(cut);
  }
  return text;
}

}  // namespace

RuleTester::RuleTester(RuleTesterControls controls, FetchLimits limits, RenderSettings render,
                       QObject* parent)
    : QObject(parent),
      controls_(std::move(controls)),
      limits_(std::move(limits)),
      render_(std::move(render)) {}

RuleTester::~RuleTester() { stop_.request_stop(); }

void RuleTester::Run() {
  if (running_) return;
  QWidget* window = controls_.output->window();
  if (controls_.expression->currentText().isEmpty()) {
    ShowMessage(window, QStringLiteral("正则匹配规则不能为空!"), DefaultCaption(), MessageIcon::Critical);
    return;
  }
  if (IsBlockedSite(ToGbk(controls_.url->text()))) {
    ShowMessage(window, QStringLiteral("此站不允许监控!"), DefaultCaption(), MessageIcon::Critical);
    return;
  }
  Test();
}

bool RuleTester::RunBlocking(const std::function<void(std::stop_token)>& work) {
  if (running_) return false;
  running_ = true;
  // The click waits in an event loop of its own that takes no user input. The worker ends the loop when the
  // work is done; the program's exit ends it too (every running loop ends then), and the work is abandoned.
  std::atomic<bool> done{false};
  {
    QEventLoop wait;
    std::jthread worker([&, stop = stop_.get_token()] {
      work(stop);
      done.store(true, std::memory_order_release);
      QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done.load(std::memory_order_acquire)) stop_.request_stop();
  }
  running_ = false;
  return !stop_.stop_requested();
}

void RuleTester::Test() {
  const RuleTestInput input{ToGbk(controls_.url->text()),
                            controls_.gbk->isChecked() ? "1" : "0",
                            ToGbk(controls_.before->text()),
                            ToGbk(controls_.after->text()),
                            ToGbk(controls_.expression->currentText()),
                            ToGbk(controls_.cookie->text()),
                            ToGbk(controls_.ua->text()),
                            controls_.render->isChecked()};
  RuleTestResult result;
  if (!RunBlocking(
          [&](std::stop_token stop) { result = RunRuleTest(input, limits_, std::move(stop), render_); })) {
    return;
  }
  ShowResult(result);
}

void RuleTester::ShowResult(const RuleTestResult& result, bool announce) {
  if (!result.failure.empty()) {
    // The browser gave no page: its reason, not the capture region, is what to look at.
    controls_.output->setPlainText(FromGbk(result.failure));
    return;
  }
  if (result.region.empty()) {
    controls_.output->setPlainText(QStringLiteral("出错！截取源码为空，请检查方案的采集区域！"));
    return;
  }
  // What the browser had at its deadline is tested as it stands, and the note says so above the region.
  controls_.output->setPlainText(
      (result.note.empty() ? QString() : FromGbk(result.note) + QStringLiteral("\n\n")) +
      ShownRegion(result.region));

  QTreeWidget& list = *controls_.results;
  list.clear();
  list.setColumnCount(0);
  QWidget* window = list.window();
  if (result.hits.empty()) {
    ShowMessage(window, QStringLiteral("匹配结果为0,请检查正则匹配规则!"));
    return;
  }
  controls_.unlock();

  const int columns = result.groupCount + 1;
  QStringList titles;
  for (int k = 0; k < columns; ++k) titles << QStringLiteral("索引 ") + QString::number(k);
  list.setColumnCount(columns);
  list.setHeaderLabels(titles);
  for (int k = 0; k < columns; ++k) list.setColumnWidth(k, kColumnWidth);

  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(result.hits.size()));
  for (const Hit& hit : result.hits) {
    auto* row = new QTreeWidgetItem;
    for (int k = 0; k < columns; ++k) row->setText(k, FromGbk(GroupText(hit, k)));
    rows << row;
  }
  list.addTopLevelItems(rows);

  if (!announce) return;
  ShowMessage(window, QStringLiteral("成功取到　") + QString::number(result.hits.size()) +
                          QStringLiteral("条文章！"));
}

}  // namespace qw::ui
