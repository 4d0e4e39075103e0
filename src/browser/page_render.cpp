#include "browser/page_render.h"

#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <algorithm>
#include <utility>

namespace qw::browser {

// Counts the requests the page makes, and refuses those that can never change its text: images, media, fonts,
// icons, pings, reports and prefetches. Called on the helper's main thread.
class RequestCounter final : public QWebEngineUrlRequestInterceptor {
 public:
  RequestCounter(std::function<void()> onRequest, QObject* parent)
      : QWebEngineUrlRequestInterceptor(parent), onRequest_(std::move(onRequest)) {}

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    switch (info.resourceType()) {
      case QWebEngineUrlRequestInfo::ResourceTypeImage:
      case QWebEngineUrlRequestInfo::ResourceTypeMedia:
      case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
      case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
      case QWebEngineUrlRequestInfo::ResourceTypePing:
      case QWebEngineUrlRequestInfo::ResourceTypeCspReport:
      case QWebEngineUrlRequestInfo::ResourceTypePrefetch:
      case QWebEngineUrlRequestInfo::ResourceTypePluginResource:
      case QWebEngineUrlRequestInfo::ResourceTypeObject:
        info.block(true);
        return;
      default:
        onRequest_();
    }
  }

 private:
  std::function<void()> onRequest_;
};

namespace {

// How often the page is asked whether it has settled, at most.
constexpr int kPollMs = 50;
// Past the deadline, how long the page has to hand over its document.
constexpr int kHandOverMs = 2000;

// Runs in the page's own world before any of its scripts: counts the requests that can still change the
// document (XMLHttpRequest, fetch, and scripts added by scripts, which is how JSONP and loaders work) from
// their start until they end, and tells how long ago the last one began or ended. The page cannot replace
// the counter.
const char* const kActivityScript = R"js(
(function () {
  if (window.__quillwatchActivity) return;
  let pending = 0, last = performance.now();
  const begin = () => { pending++; last = performance.now(); };
  const end = () => { pending = Math.max(0, pending - 1); last = performance.now(); };
  const send = XMLHttpRequest.prototype.send;
  XMLHttpRequest.prototype.send = function () {
    begin();
    this.addEventListener('loadend', end, { once: true });
    try { return send.apply(this, arguments); } catch (e) { end(); throw e; }
  };
  const originalFetch = window.fetch;
  if (originalFetch) {
    window.fetch = function () {
      begin();
      let answer;
      try { answer = originalFetch.apply(this, arguments); } catch (e) { end(); throw e; }
      answer.then(end, end);
      return answer;
    };
  }
  const seen = new WeakSet();
  new MutationObserver(function (records) {
    for (const record of records) {
      for (const node of record.addedNodes) {
        if (node.nodeName !== 'SCRIPT' || !node.src || seen.has(node)) continue;
        seen.add(node);
        begin();
        node.addEventListener('load', end, { once: true });
        node.addEventListener('error', end, { once: true });
      }
    }
  }).observe(document, { childList: true, subtree: true });
  Object.defineProperty(window, '__quillwatchActivity', {
    value: function () { return [pending, performance.now() - last]; }
  });
})();
)js";

const char* const kActivityQuery = "window.__quillwatchActivity ? window.__quillwatchActivity() : null";
const char* const kDocumentQuery = "document.documentElement ? document.documentElement.outerHTML : ''";

// A page that no one looks at: its dialogs answer at once and its console goes nowhere.
class QuietPage final : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {
  }
};

// Whether a cookie of this domain is sent to host: the host itself, or a domain above it.
bool CookieBelongsTo(const QString& domain, const QString& host) {
  QString bare = domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
  if (bare.isEmpty()) return true;
  return host.compare(bare, Qt::CaseInsensitive) == 0 ||
         host.endsWith(QLatin1Char('.') + bare, Qt::CaseInsensitive);
}

// The document as UTF-8, cut at a character boundary when longer than the job allows.
std::string DocumentBytes(const QString& document, std::size_t maxBytes) {
  QByteArray bytes = document.toUtf8();
  if (static_cast<std::size_t>(bytes.size()) > maxBytes) {
    qsizetype cut = static_cast<qsizetype>(maxBytes);
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.truncate(cut);
  }
  return bytes.toStdString();
}

QString TerminationText(QWebEnginePage::RenderProcessTerminationStatus status) {
  switch (status) {
    case QWebEnginePage::CrashedTerminationStatus:
      return QStringLiteral("页面的渲染进程崩溃了");
    case QWebEnginePage::KilledTerminationStatus:
      return QStringLiteral("页面的渲染进程被终止了");
    default:
      return QStringLiteral("页面的渲染进程异常退出");
  }
}

}  // namespace

PageRender::PageRender(RenderJob job, QObject* parent)
    : QObject(parent), job_(std::move(job)), url_(QUrl::fromUserInput(QString::fromStdString(job_.url))) {
  // A profile without a storage name keeps everything in memory and shares nothing with other pages.
  profile_ = new QWebEngineProfile(this);
  if (!job_.ua.empty()) profile_->setHttpUserAgent(QString::fromStdString(job_.ua));
  profile_->setHttpAcceptLanguage(QStringLiteral("zh-CN"));
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile_->setSpellCheckEnabled(false);
  counter_ = new RequestCounter([this] { sinceRequest_.restart(); }, this);
  profile_->setUrlRequestInterceptor(counter_);

  QWebEngineScript activity;
  activity.setName(QStringLiteral("quillwatch-activity"));
  activity.setSourceCode(QString::fromLatin1(kActivityScript));
  activity.setInjectionPoint(QWebEngineScript::DocumentCreation);
  activity.setWorldId(QWebEngineScript::MainWorld);
  activity.setRunsOnSubFrames(false);
  profile_->scripts()->insert(activity);

  page_ = new QuietPage(profile_, this);
  page_->setAudioMuted(true);
  // No view shows the page, yet its timers must run as in a tab in front: hidden pages have theirs held back.
  page_->setVisible(true);
  QWebEngineSettings* settings = page_->settings();
  settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
  settings->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
  settings->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
  settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setDefaultTextEncoding(job_.encoding.empty() ? QStringLiteral("UTF-8")
                                                         : QString::fromStdString(job_.encoding));

  connect(page_, &QWebEnginePage::loadingChanged, this, &PageRender::LoadingChanged);
  connect(page_, &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            if (status != QWebEnginePage::NormalTerminationStatus)
              Finish(std::nullopt, TerminationText(status));
          });
  QWebEngineCookieStore* store = profile_->cookieStore();
  connect(store, &QWebEngineCookieStore::cookieAdded, this,
          [this](const QNetworkCookie& cookie) { CookieSet(cookie, false); });
  connect(store, &QWebEngineCookieStore::cookieRemoved, this,
          [this](const QNetworkCookie& cookie) { CookieSet(cookie, true); });

  poll_.setSingleShot(true);
  connect(&poll_, &QTimer::timeout, this, &PageRender::Poll);
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &PageRender::DeadlineCame);
  grace_.setSingleShot(true);
  connect(&grace_, &QTimer::timeout, this, [this] {
    // The page's scripts hold its thread: what it showed when it had loaded is all there is.
    Finish(loadedDocument_, QStringLiteral("页面的脚本一直在运行，到期限仍未交出内容"));
  });
}

PageRender::~PageRender() {
  // The page goes before its profile.
  delete page_;
  page_ = nullptr;
  delete profile_;
  profile_ = nullptr;
}

void PageRender::Start() {
  if (!url_.isValid() ||
      (url_.scheme() != QLatin1String("http") && url_.scheme() != QLatin1String("https"))) {
    Finish(std::nullopt, QStringLiteral("网址无效，只能渲染 http 或 https 网址"));
    return;
  }
  GiveCookies();
  deadline_.start(static_cast<int>(std::clamp<std::int64_t>(job_.deadlineMs, 0, 600'000)));
  sinceRequest_.start();
  sinceLoad_.start();
  page_->load(url_);
}

void PageRender::GiveCookies() {
  QWebEngineCookieStore* store = profile_->cookieStore();
  for (const QString& item :
       QString::fromStdString(job_.cookie).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = item.trimmed();
    if (trimmed.isEmpty()) continue;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? trimmed : trimmed.left(equals).trimmed();
    const QString value = equals < 0 ? QString() : trimmed.mid(equals + 1).trimmed();
    QNetworkCookie cookie(name.toUtf8(), value.toUtf8());
    cookie.setPath(QStringLiteral("/"));
    store->setCookie(cookie, url_);
    given_[name] = value;
  }
}

void PageRender::CookieSet(const QNetworkCookie& cookie, bool removed) {
  if (!CookieBelongsTo(cookie.domain(), url_.host())) return;
  const QString name = QString::fromUtf8(cookie.name());
  const QString value = removed ? QStringLiteral("deleted") : QString::fromUtf8(cookie.value());
  const auto given = given_.find(name);
  if (given != given_.end() && given->second == value) {
    // The job's own cookie, as given: nothing the page changed.
    cookies_.erase(name);
    return;
  }
  if (!cookies_.contains(name)) cookieOrder_.push_back(name);
  cookies_[name] = value;
}

void PageRender::LoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    loaded_ = false;
    return;
  }
  if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
      // An error status with a page of its own: the page is used, as a fetched one would be.
      status_ = info.errorCode();
    } else if (info.errorDomain() != QWebEngineLoadingInfo::NoErrorDomain) {
      if (info.errorCode() == -3) return;  // a load replaced by another (a script's navigation)
      Finish(std::nullopt, QStringLiteral("页面打不开：") + info.errorString());
      return;
    }
  } else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && status_ == 0) {
    status_ = 200;
  }
  if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus) return;
  loaded_ = true;
  sinceLoad_.restart();
  // What the page shows once loaded is kept, in case its scripts never yield again.
  Snapshot(false);
  poll_.start(kPollMs);
}

void PageRender::Poll() {
  if (polling_ || settling_ || done_) return;
  polling_ = true;
  page_->runJavaScript(QString::fromLatin1(kActivityQuery), QWebEngineScript::MainWorld,
                       [this, guard = QPointer<PageRender>(this)](const QVariant& result) {
                         if (guard.isNull()) return;
                         polling_ = false;
                         if (done_ || settling_) return;
                         const QVariantList values = result.toList();
                         const bool counted = values.size() == 2;
                         const qint64 pending = counted ? values[0].toLongLong() : 0;
                         // A page whose world has no counter (an error page, a document that is not HTML)
                         // has only its requests and its load to go by.
                         qint64 idle = std::min(sinceRequest_.elapsed(), sinceLoad_.elapsed());
                         if (counted) idle = std::min(idle, static_cast<qint64>(values[1].toDouble()));
                         if (pending > 0) {
                           poll_.start(kPollMs);
                         } else if (loaded_ && idle >= job_.quietMs) {
                           Settle();
                         } else {
                           poll_.start(static_cast<int>(std::clamp<qint64>(job_.quietMs - idle, 5, kPollMs)));
                         }
                       });
}

void PageRender::Settle() {
  settling_ = true;
  poll_.stop();
  Snapshot(true);
}

void PageRender::DeadlineCame() {
  if (done_) return;
  deadlineHit_ = true;
  poll_.stop();
  settling_ = true;
  grace_.start(kHandOverMs);
  Snapshot(true);
}

void PageRender::Snapshot(bool final) {
  page_->runJavaScript(QString::fromLatin1(kDocumentQuery), QWebEngineScript::ApplicationWorld,
                       [this, final, guard = QPointer<PageRender>(this)](const QVariant& result) {
                         if (guard.isNull() || done_) return;
                         if (!final) {
                           if (!loadedDocument_) loadedDocument_ = result.toString();
                           return;
                         }
                         Finish(result.toString());
                       });
}

void PageRender::Finish(std::optional<QString> document, QString error) {
  if (done_) return;
  done_ = true;
  poll_.stop();
  deadline_.stop();
  grace_.stop();
  RenderAnswer answer;
  answer.id = job_.id;
  answer.status = status_;
  answer.deadlineHit = deadlineHit_;
  if (document) {
    answer.html = DocumentBytes(*document, job_.maxBytes);
  } else {
    answer.error = error.toStdString();
  }
  QStringList cookies;
  for (const QString& name : cookieOrder_) {
    const auto found = cookies_.find(name);
    if (found != cookies_.end()) cookies << name + QLatin1Char('=') + found->second;
  }
  answer.cookies = cookies.join(QStringLiteral("; ")).toStdString();
  emit finished(answer);
}

}  // namespace qw::browser
