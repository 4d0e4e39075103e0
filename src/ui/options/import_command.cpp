#include "ui/options/import_command.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QWidget>
#include <algorithm>

#include "schemes/scheme_file.h"
#include "schemes/scheme_import.h"
#include "storage/settings_file.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/options/transfer_dialogs.h"

namespace qw::ui {
namespace {

void Refuse(QWidget* window, const QString& why) {
  ShowMessage(window, QStringLiteral("导入失败：") + why + QStringLiteral("\n未导入任何方案。"),
              DefaultCaption(), MessageIcon::Warning);
}

}  // namespace

ImportCommand::ImportCommand(Connection& options, SettingsFile& settings, QWidget* window)
    : QObject(window), options_(options), settings_(settings), window_(window) {}

void ImportCommand::Run() {
  TransferDialogs& dialogs = CurrentTransferDialogs();
  const std::optional<QString> path = dialogs.ChooseImportFile(window_, QDir::homePath());
  if (!path) return;

  QFile file(*path);
  if (!file.open(QIODevice::ReadOnly)) {
    Refuse(window_, QStringLiteral("无法读取文件 %1（%2）").arg(*path, file.errorString()));
    return;
  }
  // One byte past the limit is enough for the file to be refused as too large.
  const QByteArray bytes = file.read(static_cast<qint64>(kSchemeFileLimit) + 1);
  const ImportPlan plan = PlanImport(options_, std::string_view(bytes.constData(), bytes.size()));
  if (!plan.error.empty()) {
    Refuse(window_, FromGbk(plan.error));
    return;
  }
  if (plan.candidates.empty()) {
    ShowMessage(window_, QStringLiteral("文件中没有方案。"));
    return;
  }
  const std::optional<std::vector<bool>> add = dialogs.ChooseImports(window_, plan);
  if (!add) return;
  const auto chosen = std::count(add->begin(), add->end(), true);
  if (chosen == 0) {
    ShowMessage(window_, QStringLiteral("没有勾选方案，未导入任何方案。"));
    return;
  }

  const ImportOutcome outcome = ImportSchemes(options_, settings_, plan, *add);
  if (!outcome.ok) {
    Refuse(window_, FromGbk(outcome.error));
    return;
  }
  emit imported(outcome.addedCategories, outcome.categories);
  QString text = QStringLiteral("导入了 %1 个方案，跳过 %2 个。").arg(chosen).arg(add->size() - chosen);
  if (!outcome.addedCategories.empty()) {
    QStringList names;
    for (const std::string& name : outcome.addedCategories) names << FromGbk(name);
    text += QStringLiteral("\n新增类别：") + names.join(QStringLiteral("、"));
  }
  text += QStringLiteral("\n新方案不默认勾选；主窗口 刷新方案列表 后即可监控。");
  ShowMessage(window_, text, QStringLiteral("导入成功"), MessageIcon::Information);
}

}  // namespace qw::ui
