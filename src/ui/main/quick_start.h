#pragma once
// The program's own quick start for a new user: the mini homepage shows it while there are no schemes, and
// in place of the user's own homepage when that cannot be reached or shown.

#include <QString>

namespace qw::ui {

// The closing note when the user's own homepage cannot be shown.
QString UnreachableHomepageNote();

// A whole HTML document; its title is "Quillwatch 快速上手". note, plain text, closes the page.
QString QuickStartPage(const QString& note = UnreachableHomepageNote());

}  // namespace qw::ui
