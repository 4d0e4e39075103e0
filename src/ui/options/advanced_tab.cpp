#include "ui/options/advanced_tab.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "storage/settings_file.h"
#include "storage/sql_runner.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/main/web_address.h"
#include "ui/options/global_keywords_box.h"

namespace qw::ui {

AdvancedTab::AdvancedTab(SettingsFile& settings, SqlRunner& sql, QWidget* parent)
    : QWidget(parent), settings_(settings), sql_(sql) {
  setObjectName(QStringLiteral("高级设置"));

  auto* categoryGroup = new QGroupBox(QStringLiteral("方案分类"), this);
  categories_ = new QPlainTextEdit(categoryGroup);
  categories_->setObjectName(QStringLiteral("分类编辑框"));
  auto* saveCategories = new QPushButton(QStringLiteral("保存栏目"), categoryGroup);
  saveCategories->setObjectName(QStringLiteral("保存栏目"));
  auto* categoryColumn = new QVBoxLayout(categoryGroup);
  categoryColumn->addWidget(new QLabel(QStringLiteral("一行代表一个分类")));
  categoryColumn->addWidget(categories_, 1);
  categoryColumn->addWidget(saveCategories, 0, Qt::AlignRight);

  auto* sqlGroup = new QGroupBox(QStringLiteral("数据库维护"), this);
  sqlBox_ = new QPlainTextEdit(QStringLiteral("update info set issoucang=1 where id=671"), sqlGroup);
  sqlBox_->setObjectName(QStringLiteral("sql框"));
  auto* runSql = new QPushButton(QStringLiteral("执行SQL命令"), sqlGroup);
  runSql->setObjectName(QStringLiteral("按钮_执行SQL"));
  backup_ = new QPushButton(QStringLiteral("备份数据库…"), sqlGroup);
  backup_->setObjectName(QStringLiteral("按钮_备份数据库"));
  backup_->setToolTip(QStringLiteral("监控进行中也可备份：复制 mavo.sdb 到所选文件，并检查副本是否完整"));
  backupStatus_ = new QLabel(sqlGroup);
  backupStatus_->setObjectName(QStringLiteral("备份状态"));
  auto* sqlButtons = new QHBoxLayout;
  sqlButtons->addWidget(backup_);
  sqlButtons->addWidget(backupStatus_, 1);
  sqlButtons->addWidget(runSql);
  auto* sqlColumn = new QVBoxLayout(sqlGroup);
  sqlColumn->addWidget(sqlBox_, 1);
  sqlColumn->addLayout(sqlButtons);

  // Empty by default: the mini homepage is then the program's own page and asks no host anything.
  auto* homepageGroup = new QGroupBox(QStringLiteral("迷你首页"), this);
  homepage_ = new QLineEdit(FromGbk(settings_.ReadSetting(HomepageKey())), homepageGroup);
  homepage_->setObjectName(QStringLiteral("主页框"));
  homepage_->setPlaceholderText(QStringLiteral("留空则显示本机生成的首页（不联网）"));
  auto* saveHomepage = new QPushButton(QStringLiteral("保存主页"), homepageGroup);
  saveHomepage->setObjectName(QStringLiteral("保存主页"));
  auto* homepageRow = new QHBoxLayout(homepageGroup);
  homepageRow->addWidget(new QLabel(QStringLiteral("主页地址")));
  homepageRow->addWidget(homepage_, 1);
  homepageRow->addWidget(saveHomepage);

  keywords_ = new GlobalKeywordsBox(settings_, this);
  auto* right = new QVBoxLayout;
  right->addWidget(keywords_, 1);
  right->addWidget(sqlGroup, 1);

  auto* row = new QHBoxLayout;
  row->addWidget(categoryGroup, 2);
  row->addLayout(right, 3);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->addLayout(row, 1);
  column->addWidget(homepageGroup);

  connect(saveCategories, &QPushButton::clicked, this, &AdvancedTab::SaveCategories);
  connect(runSql, &QPushButton::clicked, this, &AdvancedTab::RunMaintenanceSql);
  connect(saveHomepage, &QPushButton::clicked, this, &AdvancedTab::SaveHomepage);
}

void AdvancedTab::SaveHomepage() {
  const QString address = homepage_->text().trimmed();
  QString reason;
  if (!address.isEmpty() && !WebAddressToOpen(address, &reason)) {
    ShowMessage(window(), QStringLiteral("主页地址无效，只能填写 http 或 https 网址，或留空：") + address);
    return;
  }
  ShowSettingSaved(window(), settings_.WriteSetting(HomepageKey(), ToGbk(address)));
}

void AdvancedTab::SetCategories(const std::vector<std::string>& names) {
  QString text;
  for (const std::string& name : names) text += FromGbk(name) + QLatin1Char('\n');
  categories_->setPlainText(text);
}

void AdvancedTab::AppendCategories(const std::vector<std::string>& names) {
  QString text = categories_->toPlainText();
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) line = line.trimmed();
  bool added = false;
  for (const std::string& name : names) {
    const QString shown = FromGbk(name);
    if (lines.contains(shown)) continue;  // typed already, not saved yet
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    text += shown + QLatin1Char('\n');
    lines << shown;
    added = true;
  }
  if (added) categories_->setPlainText(text);
}

void AdvancedTab::SaveCategories() {
  // The editor's line breaks are taken as CR LF, as the stored value is composed from such lines.
  QString lines = categories_->toPlainText();
  lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  const std::string value = ComposeCategoryValue(ToGbk(lines));
  if (value.size() > kSettingReadLimit) {
    // Longer values would be read back cut off, and the categories past the cut lost.
    ShowMessage(window(), QStringLiteral("保存失败，分类文字最多 %1 字节（现为 %2 字节），请删减后重试！")
                              .arg(kSettingReadLimit)
                              .arg(value.size()));
    return;
  }
  ShowSettingSaved(window(), settings_.WriteSetting(CategoriesKey(), value));
}

void AdvancedTab::RunMaintenanceSql() {
  const SqlResult result = sql_.Run(ToGbk(sqlBox_->toPlainText()));
  ShowMessage(window(), FromGbk(result.text), QStringLiteral("SQL执行结果"));
}

}  // namespace qw::ui
