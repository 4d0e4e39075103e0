#pragma once
// The web engine's command-line switches for rendering pages: nothing goes out but what the page itself asks
// for (no background networking, updates, reports or look-ups of the engine's own), no proxy, as for a
// fetched page, and no GPU, since no page is ever shown.

#include <QByteArray>

namespace qw::browser {

// The switches, appended to whatever QTWEBENGINE_CHROMIUM_FLAGS already holds.
QByteArray EngineSwitches(const QByteArray& existing);

}  // namespace qw::browser
