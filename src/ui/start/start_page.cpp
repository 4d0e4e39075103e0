#include "ui/start/start_page.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "health/health_book.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"
#include "ui/help/help_window.h"
#include "ui/main/gbk_text.h"
#include "ui/main/quick_start.h"

namespace qw::ui {
namespace {

// How often the page, waiting for a statement of the monitoring, tests the busy flag again.
constexpr std::int32_t kBusyPollMs = 50;

constexpr char kArticleLink[] = "article:";

QString Escaped(const QString& text) { return text.toHtmlEscaped(); }

}  // namespace

QString StartPageHtml(const std::vector<StartPageScheme>& failing,
                      const std::vector<StartPageArticle>& articles) {
  QString html = QStringLiteral(
      "<html><head><meta charset=\"utf-8\"><title>Quillwatch</title></head><body style=\"font-size:13px;\">");
  if (!failing.empty()) {
    html += QStringLiteral("<h3 style=\"color:#b3261e;\">需要注意的方案</h3><ul>");
    for (const StartPageScheme& s : failing) {
      html += QStringLiteral("<li><b>%1 [%2]</b>：%3").arg(Escaped(s.name)).arg(s.id).arg(Escaped(s.outcome));
      QString detail;
      if (s.failures > 1) detail = QStringLiteral("连续失败 %1 次，").arg(s.failures);
      if (!s.lastCheck.isEmpty()) detail += QStringLiteral("上次检查 %1").arg(Escaped(s.lastCheck));
      if (!s.pausedUntil.isEmpty()) {
        if (!detail.isEmpty()) detail += QStringLiteral("；");
        detail += QStringLiteral("站点要求暂停访问，%1 前跳过").arg(Escaped(s.pausedUntil));
      }
      if (!detail.isEmpty())
        html += QStringLiteral("<span style=\"color:#5b6675;\">（%1）</span>").arg(detail);
      html += QStringLiteral("</li>");
    }
    html += QStringLiteral("</ul>");
  }
  html += QStringLiteral("<h3>最新文章</h3>");
  if (articles.empty()) {
    html += QStringLiteral("<p>还没有采集到文章。在左侧勾选方案，按 <b>监控勾选</b> 开始监控。</p>");
  } else {
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (std::size_t n = 0; n < articles.size(); ++n) {
      const StartPageArticle& a = articles[n];
      html += QStringLiteral(
                  "<tr><td><a href=\"%1%2\">%3</a></td><td style=\"color:#5b6675;\">%4</td>"
                  "<td style=\"color:#7a8594;\">%5</td></tr>")
                  .arg(QLatin1String(kArticleLink))
                  .arg(n)
                  .arg(Escaped(a.title.isEmpty() ? QStringLiteral("（无标题）") : a.title), Escaped(a.site),
                       Escaped(a.time));
    }
    html += QStringLiteral("</table>");
  }
  html +=
      QStringLiteral(
          "<p style=\"color:#7a8594;\">鼠标停在左侧的方案上可查看它的状态。<a href=\"%1\">使用帮助</a></p>")
          .arg(HelpLink(HelpStart()));
  return html + QStringLiteral("</body></html>");
}

StartPage::StartPage(StartPageSource source, QWidget* parent)
    : source_(std::move(source)), browser_(new QTextBrowser(parent)) {
  browser_->setFrameShape(QFrame::NoFrame);
  browser_->document()->setDocumentMargin(16);
  // Links are the program's own: an article goes to the browser through the window's check, help to the help.
  browser_->setOpenLinks(false);
  QObject::connect(browser_, &QTextBrowser::anchorClicked, browser_,
                   [this](const QUrl& link) { Clicked(link); });
}

StartPage::~StartPage() { delete browser_; }

QWidget* StartPage::Widget() { return browser_; }

QUrl StartPage::Url() const { return {}; }

void StartPage::Load(const QUrl&) {
  // Waiting for the database runs the window's events, which may ask for the page again.
  if (loading_) return;
  loading_ = true;
  std::vector<StartPageScheme> failing;
  const std::vector<int> ids = source_.schemes ? source_.schemes() : std::vector<int>{};
  for (const int id : ids) {
    const SchemeHealth health = source_.health.Of(id);
    if (health.failures == 0 && health.pausedUntil.empty()) continue;
    failing.push_back({id, FromGbk(source_.cache.Get(id, kRuleName)), FromGbk(health.outcome),
                       FromGbk(health.lastCheck), FromGbk(health.pausedUntil), health.failures});
  }
  std::stable_sort(failing.begin(), failing.end(), [](const StartPageScheme& a, const StartPageScheme& b) {
    return a.failures > b.failures;
  });

  if (ids.empty()) {
    html_ = QuickStartPage(
        QStringLiteral("建好方案后，这里会列出出错的方案和最新采集的文章。点左上角的开关可以关闭本页。"));
    addresses_.clear();
  } else {
    ResultTable rows;
    {
      BusyGuard guard(source_.busy, kBusyPollMs);
      if (!guard.held()) {
        // Asked inside the wait of a statement of the window's own, which holds the flag lower on this
        // stack: the page is made once that statement has ended.
        loading_ = false;
        QTimer::singleShot(kBusyPollMs, browser_, [this] { Load(QUrl()); });
        return;
      }
      rows = Query(source_.main, "select planname,title,url,addtime from info order by id desc limit " +
                                     std::to_string(kStartPageArticles));
    }
    std::vector<StartPageArticle> articles;
    addresses_.clear();
    for (int r = 0; r < rows.RowCount(); ++r) {
      articles.push_back({FromGbk(rows.Cell(r, 0)), FromGbk(rows.Cell(r, 1)), FromGbk(rows.Cell(r, 3))});
      addresses_.push_back(rows.Cell(r, 2));
    }
    html_ = StartPageHtml(failing, articles);
  }
  // Made anew after every round: the reader keeps their place.
  const int at = browser_->verticalScrollBar()->value();
  browser_->setHtml(html_);
  browser_->verticalScrollBar()->setValue(at);
  loading_ = false;
}

void StartPage::Clicked(const QUrl& link) {
  const QString text = link.toString();
  if (const QString section = HelpSectionOf(text); !section.isEmpty()) {
    if (source_.openHelp) source_.openHelp(section);
    return;
  }
  if (!text.startsWith(QLatin1String(kArticleLink))) return;
  bool ok = false;
  const int n = text.mid(static_cast<int>(sizeof kArticleLink) - 1).toInt(&ok);
  if (!ok || n < 0 || n >= static_cast<int>(addresses_.size())) return;
  if (source_.openAddress) source_.openAddress(FromGbk(addresses_[static_cast<std::size_t>(n)]));
}

}  // namespace qw::ui
