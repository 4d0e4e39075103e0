#include "ui/options/options_window.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "keywords/global_keywords.h"
#include "storage/storage.h"
#include "ui/main/app_icons.h"
#include "ui/main/message_boxes.h"
#include "ui/main/outer_size.h"
#include "ui/options/advanced_tab.h"
#include "ui/options/backup_command.h"
#include "ui/options/export_command.h"
#include "ui/options/global_keywords_box.h"
#include "ui/options/import_command.h"
#include "ui/options/rule_tester.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"

namespace qw::ui {

OptionsWindow::OptionsWindow(OptionsContext context, int tab, QWidget* parent)
    : QDialog(parent), context_(std::move(context)), tabs_(new QTabWidget(this)) {
  setWindowTitle(QStringLiteral("选项"));
  setWindowIcon(NormalIcon());
  ResizeOuterOnceFramed(*this, QSize(kWidth, kHeight));
  tabs_->setObjectName(QStringLiteral("选择夹"));
  Connection& options = context_.storage.optionsConnection;
  list_ = new SchemeList(options);
  editor_ = new SchemeEditor(options, &context_.settings, context_.openAddress, context_.fetchLimits,
                             context_.render);
  advanced_ = new AdvancedTab(context_.settings, context_.sql);
  tabs_->addTab(list_, QStringLiteral("方案列表"));
  tabs_->addTab(editor_, QStringLiteral("方案操作"));
  tabs_->addTab(advanced_, QStringLiteral("高级设置"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(tabs_);

  export_ = new ExportCommand(options, context_.settings, this);
  import_ = new ImportCommand(options, context_.settings, this);
  backup_ = new BackupCommand(context_.storage.mainConnection, context_.databasePath,
                              advanced_->BackupButton(), advanced_->BackupStatus(), this);

  connect(list_, &SchemeList::loadRequested, editor_, &SchemeEditor::LoadSchemeIntoEditor);
  connect(list_, &SchemeList::exportRequested, export_, &ExportCommand::Run);
  connect(list_, &SchemeList::importRequested, import_, &ImportCommand::Run);
  connect(import_, &ImportCommand::imported, this,
          [this](const std::vector<std::string>& added, const std::vector<std::string>& categories) {
            list_->FillSchemeList();
            editor_->AppendCategories(added, static_cast<int>(categories.size() - added.size()) + 1);
            advanced_->AppendCategories(added);
            if (context_.schemesChanged) context_.schemesChanged();
          });
  connect(editor_, &SchemeEditor::showRequested, this, [this] { tabs_->setCurrentIndex(kEditorTab); });
  connect(editor_, &SchemeEditor::schemeSaved, list_, &SchemeList::FillSchemeList);
  connect(editor_, &SchemeEditor::categoriesCreated, advanced_, &AdvancedTab::SetCategories);
  if (context_.schemesChanged) {
    connect(editor_, &SchemeEditor::schemeSaved, this, [this] { context_.schemesChanged(); });
    connect(list_, &SchemeList::schemesChanged, this, [this] { context_.schemesChanged(); });
  }
  // The test's marks take everyone's keywords as saved.
  editor_->SetEveryoneKeywords(ReadGlobalKeywords(context_.settings));
  connect(&advanced_->Keywords(), &GlobalKeywordsBox::saved, editor_, &SchemeEditor::SetEveryoneKeywords);

  // Saving happens on a click of its button alone: Return in a field must not press a button of the dialog.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  tabs_->setCurrentIndex(std::clamp(tab, 0, tabs_->count() - 1));
  const std::vector<std::string> categories = context_.storage.categories.Names();
  editor_->SetCategories(categories);
  advanced_->SetCategories(categories);
  if (OpenDatabase(options, context_.databasePath) != OpenResult::Opened || !HasProgramTables(options)) {
    ShowMessage(this, QStringLiteral("数据库打开失败！"));
  }
  list_->FillSchemeList();
}

OptionsWindow::~OptionsWindow() = default;

void OptionsWindow::reject() {
  // Escape or the close button during a rule test or a backup waits for its own end.
  if (editor_->Tester().Running() || backup_->Running()) return;
  QDialog::reject();
}

void OpenOptionsWindow(QWidget* parent, OptionsContext context, int tab) {
  OptionsWindow window(std::move(context), tab, parent);
  window.exec();
}

}  // namespace qw::ui
