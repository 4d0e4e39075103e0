// 导出…, 导入… and 备份数据库… in the options window, with the file dialogs answered by the test: the list's
// multiple selection, what reaches the file and the database, the import dialog's choices, and the backup
// that runs beside the window.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "schemes/scheme_import.h"
#include "storage/database.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "ui/main/gbk_text.h"
#include "ui/options/advanced_tab.h"
#include "ui/options/backup_command.h"
#include "ui/options/import_dialog.h"
#include "ui/options/options_window.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"
#include "ui/options/transfer_dialogs.h"
#include "ui_harness.h"

using namespace qw;
using namespace qw::test;

namespace {

// Answers the window's questions as a person would, and records what it was offered.
class Answers final : public ui::TransferDialogs {
 public:
  Answers() : previous_(ui::InstallTransferDialogs(this)) {}
  ~Answers() override { ui::InstallTransferDialogs(previous_); }

  std::optional<ui::ExportChoice> ChooseExportFile(QWidget*, const QString& suggested) override {
    offered = suggested;
    return exportChoice;
  }
  std::optional<QString> ChooseImportFile(QWidget*, const QString&) override { return importFile; }
  std::optional<std::vector<bool>> ChooseImports(QWidget*, const ImportPlan& plan) override {
    return chooseImports(plan);
  }
  std::optional<QString> ChooseBackupFile(QWidget*, const QString& suggested) override {
    offered = suggested;
    return backupFile;
  }

  QString offered;
  std::optional<ui::ExportChoice> exportChoice;
  std::optional<QString> importFile;
  std::function<std::optional<std::vector<bool>>(const ImportPlan&)> chooseImports;
  std::optional<QString> backupFile;

 private:
  ui::TransferDialogs* previous_;
};

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A program directory with the categories 新闻 and 论坛 and the options window open on it.
class Fixture {
 public:
  Fixture() {
    dir.WriteSettings({"类别=<新闻><论坛>"});
    dir.CreateDatabase();
  }

  ui::OptionsWindow& Open(int tab = ui::OptionsWindow::kSchemeListTab) {
    harness = StartedWindow(dir);
    harness->messages.clear();
    window = std::make_unique<ui::OptionsWindow>(ui::OptionsContext{harness->Store(),
                                                                    dir.Database(),
                                                                    harness->Window().Settings(),
                                                                    harness->Window().Sql(),
                                                                    [](const QString&) {},
                                                                    {}},
                                                 tab);
    return *window;
  }

  ui::SchemeList& List() { return window->List(); }
  QString Path(const char* name) const { return QString::fromStdString((dir.Path() / name).string()); }
  int Count(const std::string& table = "rule") const {
    Connection connection;
    OpenDatabase(connection, dir.Database());
    return ToInteger(Query(connection, "select count(*) from " + table).Cell(0, 0));
  }
  QStringList Messages() const {
    QStringList texts;
    for (const ui::MessageRequest& m : harness->messages) texts << m.text;
    return texts;
  }

  ProgramDir dir;
  Answers answers;
  std::unique_ptr<Harness> harness;
  std::unique_ptr<ui::OptionsWindow> window;
};

// Three schemes; the second in category 2 (论坛) with a cookie.
constexpr char kThreeSchemes[] =
    "insert into rule(id, class, code, name, url, cookie, regular, tindex, type, isdo) values"
    "(3, 1, '1', '甲', 'http://a/', '', '(a)', '1', '0', '1'),"
    "(5, 2, '1', '乙', 'http://b/', 'sid=7', '(b)', '1', '8', '0'),"
    "(8, 1, '0', '丙', 'http://c/', '', '(c)', '2', '2', '0');";

}  // namespace

class SchemeTransferTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtPump(); }

  void severalRowsGoToTheFileWhileOneRowCommandsTakeTheCurrentRow() {
    Fixture f;
    f.dir.Sql(kThreeSchemes);
    f.Open();
    ui::SchemeList& list = f.List();
    list.setCurrentItem(list.topLevelItem(0));
    list.setCurrentItem(list.topLevelItem(2), 0, QItemSelectionModel::Select);
    list.PrepareMenu();
    QVERIFY(list.ExportAction()->isEnabled());
    QVERIFY(list.ImportAction()->isEnabled());
    QVERIFY(list.EditAction()->isEnabled());
    // 编辑 loads the current row, the last one clicked.
    list.EditAction()->trigger();
    QCOMPARE(f.window->findChild<QLineEdit*>(QStringLiteral("项目编号框"))->text(), QStringLiteral("8"));

    f.answers.exportChoice = ui::ExportChoice{f.Path("two.qwscheme.json"), false};
    list.ExportAction()->trigger();
    QVERIFY(f.answers.offered.endsWith(QStringLiteral("/方案2个.qwscheme.json")));
    const QString file = ReadText(f.Path("two.qwscheme.json"));
    QVERIFY(file.contains(QStringLiteral("\"name\": \"甲\"")));
    QVERIFY(file.contains(QStringLiteral("\"name\": \"丙\"")));
    QVERIFY(!file.contains(QStringLiteral("乙")));
    QCOMPARE(f.Messages(), QStringList{QStringLiteral("已导出 2 个方案到\n") + f.Path("two.qwscheme.json")});
    QCOMPARE(f.harness->messages.back().caption, QStringLiteral("导出成功"));

    // One scheme with its cookie: the file is named after it, and the message warns of the cookie.
    list.setCurrentItem(list.topLevelItem(1));
    f.answers.exportChoice = ui::ExportChoice{f.Path("one.qwscheme.json"), true};
    list.ExportAction()->trigger();
    QVERIFY(f.answers.offered.endsWith(QStringLiteral("/乙.qwscheme.json")));
    QVERIFY(ReadText(f.Path("one.qwscheme.json")).contains(QStringLiteral("\"cookie\": \"sid=7\"")));
    QVERIFY(f.Messages().last().contains(QStringLiteral("COOKIE")));

    // Cancelled: nothing is written or said. Nothing selected: nothing to export, nothing to edit.
    f.harness->messages.clear();
    f.answers.exportChoice.reset();
    list.ExportAction()->trigger();
    QVERIFY(f.harness->messages.empty());
    list.clearSelection();
    list.PrepareMenu();
    QVERIFY(!list.ExportAction()->isEnabled());
    QVERIFY(!list.EditAction()->isEnabled());
    QVERIFY(list.ImportAction()->isEnabled());
  }

  void theSaveDialogCarriesTheCookieBox() {
    TempDir dir;
    const QString path = QString::fromStdString((dir / "x.qwscheme.json").string());
    QTimer::singleShot(0, [path] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("包含COOKIE"));
      QVERIFY(box != nullptr && box->isVisible() && !box->isChecked());
      QCOMPARE(box->text(), QStringLiteral("包含 COOKIE"));
      box->setChecked(true);
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();
    });
    const std::optional<ui::ExportChoice> choice =
        ui::CurrentTransferDialogs().ChooseExportFile(nullptr, path);
    QVERIFY(choice.has_value());
    QCOMPARE(choice->path, path);
    QVERIFY(choice->withCookie);
  }

  void importShowsWhatIsThereAndAddsWhatIsTicked() {
    // The file: the three schemes, exported from another program directory whose categories differ.
    Fixture source;
    source.dir.WriteSettings({"类别=<论坛><杂谈>"});
    source.dir.Sql(kThreeSchemes);
    source.Open();
    source.List().selectAll();
    source.answers.exportChoice = ui::ExportChoice{source.Path("all.qwscheme.json"), false};
    source.List().ExportAction()->trigger();

    Fixture f;
    f.dir.Sql("insert into rule(id, class, name, url, regular) values(1, 1, 'old', 'http://b/', '(b)');");
    ui::OptionsWindow& window = f.Open();
    f.answers.importFile = source.Path("all.qwscheme.json");
    std::vector<QString> states;
    f.answers.chooseImports = [&](const ImportPlan& plan) -> std::optional<std::vector<bool>> {
      // The real dialog: new schemes ticked, the one already there unticked, and ticking it adds it anyway.
      ui::ImportDialog dialog(plan);
      QTreeWidget& rows = dialog.List();
      for (int i = 0; i < rows.topLevelItemCount(); ++i) states.push_back(rows.topLevelItem(i)->text(3));
      rows.topLevelItem(0)->setCheckState(0, Qt::Unchecked);
      rows.topLevelItem(1)->setCheckState(0, Qt::Checked);
      states.push_back(rows.topLevelItem(1)->text(3));
      return dialog.Ticks();
    };
    f.List().ImportAction()->trigger();

    QCOMPARE(states,
             (std::vector<QString>{
                 QStringLiteral("新方案，添加"), QStringLiteral("已有相同方案（编号 1），跳过"),
                 QStringLiteral("新方案，添加"), QStringLiteral("已有相同方案（编号 1），仍然添加")}));
    QCOMPARE(f.Messages(), QStringList{QStringLiteral(
                               "导入了 2 个方案，跳过 1 个。\n新增类别：杂谈\n新方案不默认勾选；主窗口 "
                               "刷新方案列表 后即可监控。")});
    // The list, the settings file and both category boxes know of the new schemes and the new category.
    QCOMPARE(f.List().topLevelItemCount(), 3);
    QCOMPARE(f.List().topLevelItem(1)->text(3), QStringLiteral("乙"));
    QCOMPARE(f.List().topLevelItem(1)->text(1), QStringLiteral("3"));
    QCOMPARE(f.List().topLevelItem(2)->text(3), QStringLiteral("丙"));
    QCOMPARE(f.List().topLevelItem(2)->text(1), QStringLiteral("2"));
    QCOMPARE(f.List().topLevelItem(2)->text(17), QStringLiteral("0"));
    QCOMPARE(ui::FromGbk(SettingsFile(f.dir.Settings()).ReadSetting(CategoriesKey())),
             QStringLiteral("<新闻><论坛><杂谈>"));
    auto* category = window.findChild<QComboBox*>(QStringLiteral("组合框1"));
    QCOMPARE(category->itemText(2), QStringLiteral("杂谈"));
    QCOMPARE(category->itemData(2).toInt(), 3);
    QCOMPARE(window.Advanced().CategoryEditor().toPlainText(), QStringLiteral("新闻\n论坛\n杂谈\n"));

    // Cancelled in the dialog, or nothing ticked: nothing is stored.
    f.harness->messages.clear();
    f.answers.chooseImports = [](const ImportPlan&) { return std::nullopt; };
    f.List().ImportAction()->trigger();
    QVERIFY(f.harness->messages.empty());
    f.answers.chooseImports = [](const ImportPlan& plan) {
      return std::vector<bool>(plan.candidates.size());
    };
    f.List().ImportAction()->trigger();
    QCOMPARE(f.Messages(), QStringList{QStringLiteral("没有勾选方案，未导入任何方案。")});
    QCOMPARE(f.Count(), 3);
  }

  void aRefusedFileChangesNothing() {
    Fixture f;
    f.dir.Sql(kThreeSchemes);
    f.dir.WriteFile("bad.qwscheme.json",
                    "{\"format\": \"quillwatch-schemes\", \"version\": 1, \"schemes\": "
                    "[{\"name\": \"x\"}]}");
    f.Open();
    f.answers.importFile = f.Path("bad.qwscheme.json");
    f.answers.chooseImports = [](const ImportPlan&) -> std::optional<std::vector<bool>> {
      QTest::qFail("a refused file offers no choice", __FILE__, __LINE__);
      return std::nullopt;
    };
    f.List().ImportAction()->trigger();
    QCOMPARE(
        f.Messages(),
        QStringList{QStringLiteral("导入失败：第 1 个方案「x」的 类别（category）缺失\n未导入任何方案。")});
    QCOMPARE(f.harness->messages.back().icon, ui::MessageIcon::Warning);
    f.answers.importFile = f.Path("none.qwscheme.json");
    f.List().ImportAction()->trigger();
    QVERIFY(f.Messages().last().startsWith(QStringLiteral("导入失败：无法读取文件 ")));
    QCOMPARE(f.Count(), 3);
  }

  void backupRunsBesideTheWindowAndReportsTheCopy() {
    Fixture f;
    f.dir.Sql(kThreeSchemes);
    f.dir.Sql(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
        "insert into info(planname, planid, title) select 'site', 3, 'article ' || i from n;");
    ui::OptionsWindow& window = f.Open(ui::OptionsWindow::kAdvancedTab);
    QPushButton& button = window.Advanced().BackupButton();
    QCOMPARE(button.text(), QStringLiteral("备份数据库…"));

    f.answers.backupFile = f.Path("copy.sdb");
    QSignalSpy finished(&window.Backup(), &ui::BackupCommand::finished);
    QSignalSpy rejected(&window, &QDialog::rejected);
    button.click();
    // The default name: the time, beside the program.
    QVERIFY(QRegularExpression(QStringLiteral("^.*/mavo-\\d{8}-\\d{6}\\.sdb$"))
                .match(f.answers.offered)
                .hasMatch());
    QCOMPARE(QFileInfo(f.answers.offered).absolutePath(), QFileInfo(f.Path("mavo.sdb")).absolutePath());
    // The copy runs on; the window answers meanwhile, but is not closed under it.
    QVERIFY(window.Backup().Running());
    QVERIFY(!button.isEnabled());
    static_cast<QDialog&>(window).reject();  // what Escape and the close button do
    QCOMPARE(rejected.count(), 0);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(button.isEnabled());

    QCOMPARE(f.harness->messages.size(), 1u);
    const ui::MessageRequest& done = f.harness->messages.back();
    QCOMPARE(done.caption, QStringLiteral("备份成功"));
    const qint64 size = QFileInfo(f.Path("copy.sdb")).size();
    QVERIFY(size > 0);
    QVERIFY2(done.text.contains(QStringLiteral("（%1 字节），完整性检查通过。").arg(size)),
             qPrintable(done.text));
    Connection copy;
    QCOMPARE(OpenDatabase(copy, f.dir.Path() / "copy.sdb"), OpenResult::Opened);
    QCOMPARE(Query(copy, "select count(*) from info").Cell(0, 0), std::string("20000"));
    QCOMPARE(Query(copy, "select count(*) from rule").Cell(0, 0), std::string("3"));
  }

  void backupFailuresSaySoAndLeaveNothing() {
    Fixture f;
    ui::OptionsWindow& window = f.Open(ui::OptionsWindow::kAdvancedTab);
    QSignalSpy finished(&window.Backup(), &ui::BackupCommand::finished);
    for (const QString& target : {QStringLiteral("/proc/copy.sdb"), f.Path("mavo.sdb")}) {
      f.harness->messages.clear();
      f.answers.backupFile = target;
      window.Advanced().BackupButton().click();
      QVERIFY(finished.wait(30000));
      QCOMPARE(f.harness->messages.size(), 1u);
      QVERIFY2(f.Messages().front().startsWith(QStringLiteral("备份失败：")),
               qPrintable(f.Messages().front()));
      QVERIFY(window.Advanced().BackupButton().isEnabled());
    }
    QCOMPARE(QDir(QString::fromStdString(f.dir.Path().string())).entryList(QDir::Files),
             (QStringList{QStringLiteral("mavo.sdb"), QStringLiteral("mavonet.ini")}));
    QCOMPARE(f.Count(), 0);
  }
};

QTEST_MAIN(SchemeTransferTest)
#include "scheme_transfer_test.moc"
