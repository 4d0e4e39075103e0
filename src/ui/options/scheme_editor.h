#pragma once
// 方案操作, the scheme editor: the form in which one scheme is created, edited or copied and saved. Its data
// items and its save button stay locked until the rule tester has found a hit, and the save button locks
// again whenever the address or the expression changes, so a changed scheme passes a test before it is saved.

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "fetch/http_fetcher.h"
#include "keywords/title_judge.h"
#include "render/render_session.h"
#include "storage/scheme_options.h"
#include "storage/scheme_statements.h"
#include "ui/options/scheme_list.h"

class QBoxLayout;
class QButtonGroup;
class QGridLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace qw {
class Connection;
class SettingsFile;
}  // namespace qw

namespace qw::ui {

class HintLine;
class KeywordsBox;
class RuleTester;
class SchemeProposer;
class TestListMarks;

// The browser identification a new scheme starts with.
QString DefaultSchemeAgent();

class SchemeEditor final : public QWidget {
  Q_OBJECT

 public:
  // settings: where a first scheme's category is made when there is none (may be null).
  SchemeEditor(Connection& options, SettingsFile* settings, std::function<void(const QString&)> openAddress,
               FetchLimits fetchLimits, RenderSettings render = {}, QWidget* parent = nullptr);
  ~SchemeEditor() override;

  // 组合框1: the category names in order, item data = position from 1.
  void SetCategories(const std::vector<std::string>& names);
  // Categories added to the end of the list after the window opened (by an import): names, numbered on from
  // firstNumber.
  void AppendCategories(const std::vector<std::string>& names, int firstNumber);

  void LoadSchemeIntoEditor(LoadMode mode, const SchemeCells& row);
  void SetEditorMode(int mode);
  int EditorMode() const { return editorMode_; }
  // 新建规则 / 更新规则.
  void SaveScheme();
  // 规则测试.
  void TestRule();

  // The fields as the statements take them.
  SchemeFields Fields() const;
  // The scheme's options beyond the columns of rule, as the form sets them.
  SchemeOptions Options() const;
  RuleTester& Tester() const { return *tester_; }
  SchemeProposer& Proposer() const { return *proposer_; }
  KeywordsBox& Keywords() const { return *keywords_; }
  // Everyone's keyword lists, which the test's marks take with the scheme's own.
  void SetEveryoneKeywords(const KeywordLists& lists);

 signals:
  // LoadSchemeIntoEditor asks for its tab to be shown.
  void showRequested();
  // A save succeeded; the scheme list refills.
  void schemeSaved();
  // A save made the first category, 默认.
  void categoriesCreated(const std::vector<std::string>& names);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Connect();
  void ShowHintOf(QObject* control);
  void RefuseTypedCategory();
  void Unlock();
  void PlaceProposer();
  void EnsureCategory();
  // Runs the scheme's statement with its options (those it was loaded with, the keywords and the browser box
  // as set); the two are saved together or not at all.
  bool SaveWithOptions(const std::string& statement, const std::string& id);

  Connection& options_;
  SettingsFile* settings_;
  // The options of the scheme loaded for editing or copying; a new scheme has none.
  SchemeOptions loadedOptions_;
  int editorMode_ = 0;

  QLineEdit* name_;
  QComboBox* category_;
  QCheckBox* gbk_;
  // 浏览器渲染: the page through the browser.
  QCheckBox* render_;
  QLineEdit* ua_;
  QLineEdit* url_;
  QLineEdit* cookie_;
  QLineEdit* before_;
  QLineEdit* after_;
  QComboBox* expression_;
  QGroupBox* dataItems_;  // 分组框1
  QRadioButton* newestOnTop_;
  QRadioButton* newestAtBottom_;
  QRadioButton* risingId_;
  QLineEdit* titleIndex_;
  QLineEdit* spareIndex_;
  QLineEdit* idIndex_;
  QLineEdit* urlTemplate_;
  QLineEdit* schemeId_;
  QPushButton* save_;
  QPushButton* test_;
  HintLine* hint_;
  QTreeWidget* results_;
  QPlainTextEdit* output_;
  RuleTester* tester_;
  SchemeProposer* proposer_;
  QBoxLayout* actionRow_ = nullptr;
  QGridLayout* captureGrid_ = nullptr;
  KeywordsBox* keywords_;
  TestListMarks* marks_;
};

}  // namespace qw::ui
