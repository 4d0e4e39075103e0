#pragma once
// The publisher's site, the one place it is named: the mini homepage and the help board live there.

#include <QString>

namespace qw::ui {

inline QString PublisherHost() { return QStringLiteral("quillwatch.org"); }

// The forum board where users help each other write expressions.
inline QString ExpressionHelpAddress() {
  return QStringLiteral("http://bbs.%1/forum.php?mod=forumdisplay&fid=57").arg(PublisherHost());
}

}  // namespace qw::ui
