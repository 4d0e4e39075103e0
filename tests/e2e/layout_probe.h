#pragma once
// Where the controls of the program's windows are. The probe builds the same window classes in this process,
// on the same display, fonts and style and at the real window's size, without showing them on the screen,
// and reads their geometry; a point it gives is relative to the window's top-left corner.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <filesystem>
#include <memory>

#include "ui_harness.h"

namespace qw::ui {
class OptionsWindow;
}

namespace qw::test {

class LayoutProbe {
 public:
  // The main window on a copy of the program directory's two files, at size.
  LayoutProbe(const std::filesystem::path& programDirectory, QSize mainSize);
  ~LayoutProbe();

  // The centre of the named control of the main window or of the options window.
  QPoint Main(const char* name) const;
  QPoint Options(const char* name) const;
  // The centre of the options window's tab i.
  QPoint OptionsTab(int i) const;
  // The tree's visible row i: its check box and its text.
  QPoint TreeCheckBox(int row) const;
  QPoint TreeText(int row) const;
  // The article list's row i.
  QPoint ArticleRow(int i) const;

 private:
  ProgramDir dir_;
  std::unique_ptr<Harness> harness_;
  std::unique_ptr<ui::OptionsWindow> options_;
};

}  // namespace qw::test
