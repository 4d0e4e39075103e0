#pragma once
// The mini homepage shown by a helper program, quillwatch-homepage, whose web-engine window sits inside
// 网页框. Closing the homepage ends the helper, and with it every process and megabyte of the web engine:
// a monitoring program idling in the tray holds none of it.

#include "ui/main/homepage_view.h"

namespace qw::ui {

// Views whose page a helper process shows. Where a helper cannot be embedded (a desktop without foreign
// child windows) or is not installed, or when it ends on its own, the view shows the program's own quick
// start instead.
HomepageViewFactory HelperProcessHomepageViews();

}  // namespace qw::ui
