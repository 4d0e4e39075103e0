#include "ui/main/web_address.h"

#include <QDesktopServices>
#include <QRegularExpression>

namespace qw::ui {
namespace {

// A scheme name followed by a colon, as in "file:", "javascript:" or "mailto:". "host:8080/path" has a port,
// not a scheme, so a digit after the colon does not count.
bool HasScheme(const QString& address) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:(?![0-9])"));
  return scheme.match(address).hasMatch();
}

bool HasControlCharacters(const QString& address) {
  for (const QChar c : address) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::optional<QUrl> WebAddressToOpen(const QString& address, QString* reason) {
  auto refuse = [&](const QString& why) -> std::optional<QUrl> {
    if (reason != nullptr) *reason = why;
    return std::nullopt;
  };
  const QString trimmed = address.trimmed();
  if (trimmed.isEmpty()) return refuse(QStringLiteral("\r\n链接为空，未打开。"));
  if (HasControlCharacters(trimmed)) return refuse(QStringLiteral("\r\n链接含控制字符，未打开：") + trimmed);
  const QString full = HasScheme(trimmed) ? trimmed : QStringLiteral("http://") + trimmed;
  const QUrl url(full, QUrl::TolerantMode);
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
    return refuse(QStringLiteral("\r\n只在浏览器中打开 http 和 https 网址，未打开：") + trimmed);
  }
  if (!url.isValid() || url.host().isEmpty())
    return refuse(QStringLiteral("\r\n网址无效，未打开：") + trimmed);
  return url;
}

DesktopOpener SystemDesktopOpener() {
  return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

}  // namespace qw::ui
