#pragma once
// The mini homepage on the web engine. Only the homepage helper program links it, so the main program never
// loads the engine and stays small once the homepage is closed.

#include "ui/main/homepage_view.h"

namespace qw::ui {

// Views on the web engine. When the page cannot be loaded (no network, no server), the view shows the
// program's own quick start instead of the engine's error page.
HomepageViewFactory WebEngineHomepageViews();

}  // namespace qw::ui
