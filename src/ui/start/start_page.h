#pragma once
// The mini homepage's own page, made by the program without any network request and without the web engine:
// the quick start while the tree holds no scheme; otherwise the schemes whose last check failed, with the
// reason, then the newest articles as links that open in the browser.

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/main/homepage_view.h"

class QTextBrowser;

namespace qw {
class Connection;
class DatabaseBusy;
class HealthBook;
class SchemeCache;
}  // namespace qw

namespace qw::ui {

// Articles the page lists.
inline constexpr int kStartPageArticles = 20;

// What the page is made of.
struct StartPageSource {
  Connection& main;
  DatabaseBusy& busy;
  const SchemeCache& cache;
  const HealthBook& health;
  // The schemes the tree shows, in its order.
  std::function<std::vector<int>()> schemes{};
  // The window's checked way to the browser, and its help.
  std::function<void(const QString& address)> openAddress{};
  std::function<void(const QString& section)> openHelp{};
};

// A scheme as the page lists it, and an article; texts as the window shows them.
struct StartPageScheme {
  int id = 0;
  QString name, outcome, lastCheck, pausedUntil;
  int failures = 0;
};
struct StartPageArticle {
  QString site, title, time;
};

// The page: the schemes whose last check failed (those failing longest first), then the articles, newest
// first. Article n links to "article:n".
QString StartPageHtml(const std::vector<StartPageScheme>& failing,
                      const std::vector<StartPageArticle>& articles);

class StartPage final : public HomepageView {
 public:
  StartPage(StartPageSource source, QWidget* parent);
  ~StartPage() override;

  QWidget* Widget() override;
  // Makes the page anew from the schemes, their health and the database; the address is not used.
  void Load(const QUrl& url) override;
  QUrl Url() const override;

  QString Html() const { return html_; }

 private:
  void Clicked(const QUrl& link);

  StartPageSource source_;
  QTextBrowser* browser_;
  // The addresses of the listed articles, in page order, as the database holds them.
  std::vector<std::string> addresses_;
  QString html_;
  bool loading_ = false;
};

}  // namespace qw::ui
