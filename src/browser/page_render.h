#pragma once
// One page rendered for the program: loaded in a private, memory-only browser profile with the scheme's
// browser identification and cookie, its scripts run, and handed back as document.documentElement.outerHTML
// once it has settled (loaded, nothing in flight and no request for the quiet time) or the deadline came.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "render/render_protocol.h"

class QNetworkCookie;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;

namespace qw::browser {

class RequestCounter;

class PageRender final : public QObject {
  Q_OBJECT

 public:
  explicit PageRender(RenderJob job, QObject* parent = nullptr);
  ~PageRender() override;

  // Starts the load; finished comes once, later.
  void Start();
  std::uint64_t Id() const { return job_.id; }

 signals:
  void finished(const qw::RenderAnswer& answer);

 private:
  void GiveCookies();
  void CookieSet(const QNetworkCookie& cookie, bool removed);
  void LoadingChanged(const QWebEngineLoadingInfo& info);
  void Poll();
  void Settle();
  void DeadlineCame();
  void Snapshot(bool final);
  void Finish(std::optional<QString> document, QString error = {});

  RenderJob job_;
  QUrl url_;
  QWebEngineProfile* profile_ = nullptr;
  RequestCounter* counter_ = nullptr;
  QWebEnginePage* page_ = nullptr;
  QTimer poll_;
  QTimer deadline_;
  QTimer grace_;
  // Since the page last made a request, and since it finished loading.
  QElapsedTimer sinceRequest_;
  QElapsedTimer sinceLoad_;
  bool loaded_ = false;
  bool polling_ = false;
  bool settling_ = false;
  bool deadlineHit_ = false;
  bool done_ = false;
  int status_ = 0;
  QString loadError_;
  // The document as it stood when the load finished, for a page whose scripts never yield again.
  std::optional<QString> loadedDocument_;
  // The cookies the page's host set, by name, in the order first set; "deleted" for a removed one.
  std::map<QString, QString> cookies_;
  std::vector<QString> cookieOrder_;
  // The job's cookies as given, by name.
  std::map<QString, QString> given_;
};

}  // namespace qw::browser
