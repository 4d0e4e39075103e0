#include "browser/engine_switches.h"

#include <QByteArrayList>

namespace qw::browser {
namespace {

// The largest heap a page's scripts may build, in MiB: a page that builds without end crashes its own
// renderer instead of taking the machine's memory.
constexpr const char* kScriptHeapMiB = "256";

}  // namespace

QByteArray EngineSwitches(const QByteArray& existing) {
  QByteArrayList switches{
      // The engine's own traffic: none.
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-domain-reliability",
      "--disable-sync",
      "--disable-default-apps",
      "--disable-client-side-phishing-detection",
      "--safebrowsing-disable-auto-update",
      "--no-pings",
      "--dns-prefetch-disable",
      "--disable-breakpad",
      "--disable-features=Translate,MediaRouter,DialMediaRouteProvider,OptimizationHints,"
      "AutofillServerCommunication,NetworkTimeServiceQuerying,CertificateTransparencyComponentUpdater,"
      "InterestFeedContentSuggestions,SpareRendererForSitePerProcess",
      // The site is asked directly, as the program's own fetches ask it.
      "--no-proxy-server",
      // Nothing is shown, so nothing is drawn with a GPU; no sound either.
      "--disable-gpu",
      "--disable-gpu-compositing",
      "--mute-audio",
      // A page no one looks at still runs its timers on time.
      "--disable-background-timer-throttling",
      "--disable-renderer-backgrounding",
      "--disable-backgrounding-occluded-windows",
      // Two pages at once need no more renderers than two; a page's heap has a ceiling.
      "--renderer-process-limit=2",
      QByteArray("--js-flags=--max-old-space-size=") + kScriptHeapMiB,
  };
  QByteArray all = existing.trimmed();
  for (const QByteArray& one : switches) {
    if (!all.isEmpty()) all += ' ';
    all += one;
  }
  return all;
}

}  // namespace qw::browser
