#include "ui/options/export_command.h"

#include <QDir>
#include <QFile>
#include <QWidget>

#include "schemes/scheme_export.h"
#include "storage/replacing_file.h"
#include "storage/settings_file.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/options/transfer_dialogs.h"

namespace qw::ui {
namespace {

// One scheme's file is named after it; several are counted. Characters no file name takes become "_".
QString SuggestedName(const std::vector<std::string>& names) {
  QString base = names.size() == 1 ? FromGbk(names.front()) : QStringLiteral("方案%1个").arg(names.size());
  static const QString kRefused = QStringLiteral("/\\:*?\"<>|");
  for (QChar& c : base) {
    if (kRefused.contains(c) || c.unicode() < 0x20) c = QLatin1Char('_');
  }
  if (base.trimmed().isEmpty()) base = QStringLiteral("方案");
  return base + QStringLiteral(".qwscheme.json");
}

}  // namespace

ExportCommand::ExportCommand(Connection& options, SettingsFile& settings, QWidget* window)
    : QObject(window), options_(options), settings_(settings), window_(window) {}

void ExportCommand::Run(const std::vector<int>& ids, const std::vector<std::string>& names) {
  if (ids.empty()) return;
  const std::optional<ExportChoice> choice =
      CurrentTransferDialogs().ChooseExportFile(window_, QDir::home().filePath(SuggestedName(names)));
  if (!choice) return;

  const SchemeExport file = ExportSchemes(
      options_, ParseCategoryValue(settings_.ReadSetting(CategoriesKey())), ids, choice->withCookie);
  if (!file.error.empty()) {
    ShowMessage(window_, QStringLiteral("导出失败：") + FromGbk(file.error), DefaultCaption(),
                MessageIcon::Warning);
    return;
  }
  ReplacingFile out(QFile::encodeName(choice->path).toStdString());
  if (!out.Ok() || !out.Write(file.text) || !out.Commit()) {
    ShowMessage(window_, QStringLiteral("导出失败：") + FromGbk(out.Error()), DefaultCaption(),
                MessageIcon::Warning);
    return;
  }
  QString text = QStringLiteral("已导出 %1 个方案到\n%2").arg(file.count).arg(choice->path);
  if (choice->withCookie) text += QStringLiteral("\n文件中含有 COOKIE（登录信息），分享前请留意。");
  ShowMessage(window_, text, QStringLiteral("导出成功"), MessageIcon::Information);
}

}  // namespace qw::ui
