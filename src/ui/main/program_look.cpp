#include "ui/main/program_look.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace qw::ui {

void ApplyProgramLook(QApplication& application) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) application.setStyle(fusion);
  QFont font = application.font();
  // The first family the desktop has is taken; every caption of the window is Chinese. The last is Windows'
  // own Chinese face.
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Noto Sans SC"), QStringLiteral("Droid Sans Fallback"),
                    QStringLiteral("Microsoft YaHei")});
  font.setPixelSize(12);
  application.setFont(font);
}

}  // namespace qw::ui
