#pragma once
// Window sizes are outer sizes, the desktop's frame included. The frame is known only once the desktop has
// framed the window, so a size asked for before is given again as soon as the frame shows up.

#include <QSize>

class QWidget;

namespace qw::ui {

// The window's size with its frame.
QSize OuterSizeOf(const QWidget& window);

// Resizes the window so that, with the frame it has now, its outer size is outer.
void ResizeOuter(QWidget& window, const QSize& outer);

// ResizeOuter now, and once more when the desktop has framed the window (its first frame only).
void ResizeOuterOnceFramed(QWidget& window, const QSize& outer);

}  // namespace qw::ui
