#pragma once
// The program's look: the Fusion style and a font that has Chinese glyphs, at the pixel size the window's
// design geometry was drawn for.

class QApplication;

namespace qw::ui {

void ApplyProgramLook(QApplication& application);

}  // namespace qw::ui
