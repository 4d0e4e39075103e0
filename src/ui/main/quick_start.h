#pragma once
// The program's own page for the mini homepage's place: a short quick start for a new user, shown when the
// publisher's page cannot be reached or shown.

#include <QString>

namespace qw::ui {

// A whole HTML document; its title is "Quillwatch 快速上手".
QString QuickStartPage();

}  // namespace qw::ui
