#pragma once
// Which addresses the program hands to the desktop's browser. A scraped page decides what an article's
// address is, so only web addresses ever leave the program: a file, a script or another program's handler
// would let a page start something on the user's machine.

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

namespace qw::ui {

// The address as a web address to open, or nothing when it must not be opened; reason then receives why,
// as a line for the status log. An address without a scheme is taken as http.
std::optional<QUrl> WebAddressToOpen(const QString& address, QString* reason);

// Hands a checked address to the desktop; tests replace it.
using DesktopOpener = std::function<void(const QUrl&)>;
DesktopOpener SystemDesktopOpener();

}  // namespace qw::ui
