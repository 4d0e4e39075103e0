#include "ui/options/scheme_editor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "extract/collect_scheme.h"
#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "ui/help/help_window.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"
#include "ui/options/hint_line.h"
#include "ui/options/keywords_box.h"
#include "ui/options/rule_tester.h"
#include "ui/options/scheme_proposer.h"
#include "ui/options/test_list_marks.h"

namespace qw::ui {
namespace {

QString CategoryPlaceholder() { return QStringLiteral("请选择分类"); }
QString NewCaption() { return QStringLiteral("新建规则"); }
QString UpdateCaption() { return QStringLiteral("更新规则"); }
QString LockedHint() { return QStringLiteral("提示：规则测试 正确后，才能更改数据项"); }

QString WorkflowNote() {
  return QStringLiteral(
      "流程：\n“采集配置”→“规则测试”成功→完善“数据项”→点“新建规则”\n注释：\n"
      "时间倒序：列表页的文章排序是按时间倒序排列；即新文章显示在上面\n时间正序：新发的文章显示在老文章下面\n"
      "比较文章id：列表中的文章网址包含文章id，且新发的文章id比老文章id大。通常网站的id都是自加1。论坛推荐此"
      "模式");
}

// The expressions offered in 正则框: a reminder of the syntax, then three that fit common Discuz boards.
QStringList OfferedExpressions() {
  return {
      QStringLiteral(R"re(*　必填，(\d*)代表数字　(.*?)表示字符串　下面3个是DZ论坛常用规则)re"),
      QStringLiteral(R"re(<a href=\"(.*?)\".*?onclick=\"atarget\(this\)\" class=.*?xst\">(.*?)</a>)re"),
      QStringLiteral(R"re(<a href="(.*?)" onclick=\"atarget\(this\)\" class=\"xst\" >(.*?)</a>)re"),
      QStringLiteral(R"re(<a href="(.*?)" onclick=\"atarget\(this\)\" class=\".*?xst\" >(.*?)</a>)re"),
  };
}

QLineEdit* Field(QWidget* parent, const QString& name, const QString& text = {}) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  return edit;
}

QLabel* Label(const QString& text) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

QString DefaultSchemeAgent() {
  return QStringLiteral(
      "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/38.0.2125.122 "
      "Safari/537.36 SE "
      "2.X MetaSr 1.0");
}

SchemeEditor::SchemeEditor(Connection& options, SettingsFile* settings,
                           std::function<void(const QString&)> openAddress, FetchLimits fetchLimits,
                           RenderSettings render, QWidget* parent)
    : QWidget(parent), options_(options), settings_(settings) {
  // The hint's help link opens the program's own help; any other link goes through the window's check.
  hint_ = new HintLine(
      [this, open = std::move(openAddress)](const QString& link) {
        if (const QString section = HelpSectionOf(link); !section.isEmpty()) {
          ShowHelp(window(), section);
        } else if (open) {
          open(link);
        }
      },
      this);
  BuildControls();
  tester_ = new RuleTester(RuleTesterControls{expression_, url_, gbk_, render_, before_, after_, cookie_, ua_,
                                              output_, results_, [this] { Unlock(); }},
                           fetchLimits, render, this);
  proposer_ = new SchemeProposer(
      ProposerControls{url_, gbk_, render_, cookie_, ua_, before_, after_, expression_, titleIndex_, idIndex_,
                       spareIndex_, urlTemplate_, [this](int mode) { SetEditorMode(mode); }},
      *tester_, std::move(fetchLimits), std::move(render), this);
  PlaceProposer();
  marks_ = new TestListMarks(*results_, *titleIndex_, *keywords_, this);
  Connect();
}

SchemeEditor::~SchemeEditor() = default;

void SchemeEditor::BuildControls() {
  setObjectName(QStringLiteral("方案操作"));

  // 采集配置: where the page is and how the hits are found.
  auto* capture = new QGroupBox(QStringLiteral("采集配置"), this);
  name_ = Field(capture, QStringLiteral("编辑框_站名"));
  category_ = new QComboBox(capture);
  category_->setObjectName(QStringLiteral("组合框1"));
  category_->setEditable(true);
  category_->setInsertPolicy(QComboBox::NoInsert);
  category_->setCompleter(nullptr);
  category_->setEditText(CategoryPlaceholder());
  gbk_ = new QCheckBox(QStringLiteral("gbk编码"), capture);
  gbk_->setObjectName(QStringLiteral("gbk"));
  gbk_->setChecked(true);
  render_ = new QCheckBox(QStringLiteral("浏览器渲染"), capture);
  render_->setObjectName(QStringLiteral("浏览器渲染"));
  ua_ = Field(capture, QStringLiteral("ua框"), DefaultSchemeAgent());
  ua_->setCursorPosition(0);
  url_ = Field(capture, QStringLiteral("编辑框_网址"));
  cookie_ = Field(capture, QStringLiteral("cookie框"));
  before_ = Field(capture, QStringLiteral("采集前"), QStringLiteral("<html"));
  after_ = Field(capture, QStringLiteral("采集后"), QStringLiteral("</html>"));
  expression_ = new QComboBox(capture);
  expression_->setObjectName(QStringLiteral("正则框"));
  expression_->setEditable(true);
  expression_->setInsertPolicy(QComboBox::NoInsert);
  expression_->setCompleter(nullptr);
  expression_->addItems(OfferedExpressions());
  expression_->setCurrentIndex(-1);
  expression_->setEditText(QString());
  expression_->setMinimumContentsLength(20);
  expression_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  auto* captureGrid = new QGridLayout(capture);
  captureGrid->setVerticalSpacing(5);
  captureGrid->addWidget(Label(QStringLiteral("方案名称")), 0, 0);
  captureGrid->addWidget(name_, 0, 1);
  captureGrid->addWidget(category_, 0, 2);
  captureGrid->addWidget(Label(QStringLiteral("监控网址")), 1, 0);
  captureGrid->addWidget(url_, 1, 1);
  auto* pageKind = new QHBoxLayout;
  pageKind->addWidget(gbk_);
  pageKind->addWidget(render_);
  pageKind->addStretch();
  captureGrid->addLayout(pageKind, 1, 2);
  captureGrid->addWidget(Label(QStringLiteral("模拟浏览")), 2, 0);
  captureGrid->addWidget(ua_, 2, 1, 1, 2);
  captureGrid->addWidget(Label(QStringLiteral("COOKIE")), 3, 0);
  captureGrid->addWidget(cookie_, 3, 1, 1, 2);
  captureGrid->addWidget(Label(QStringLiteral("采集区域")), 4, 0);
  captureGrid->addWidget(before_, 4, 1);
  captureGrid->addWidget(after_, 4, 2);
  captureGrid->addWidget(Label(QStringLiteral("正则匹配")), 5, 0);
  captureGrid->addWidget(expression_, 5, 1, 1, 2);
  captureGrid->setColumnStretch(1, 3);
  captureGrid_ = captureGrid;
  captureGrid->setColumnStretch(2, 2);

  // 数据项: how hits are judged and turned into articles; locked until a test has found a hit.
  dataItems_ = new QGroupBox(QStringLiteral("数据项"), this);
  dataItems_->setObjectName(QStringLiteral("分组框1"));
  newestOnTop_ = new QRadioButton(QStringLiteral("时间倒序"), dataItems_);
  newestOnTop_->setObjectName(QStringLiteral("单选框1"));
  newestAtBottom_ = new QRadioButton(QStringLiteral("时间正序"), dataItems_);
  newestAtBottom_->setObjectName(QStringLiteral("单选框2"));
  risingId_ = new QRadioButton(QStringLiteral("比较文章ID"), dataItems_);
  risingId_->setObjectName(QStringLiteral("单选框3"));
  titleIndex_ = Field(dataItems_, QStringLiteral("tindex框"));
  spareIndex_ = Field(dataItems_, QStringLiteral("oindex框"));
  idIndex_ = Field(dataItems_, QStringLiteral("uindex框"));
  urlTemplate_ = Field(dataItems_, QStringLiteral("补全框"), QStringLiteral("[]"));
  auto* modes = new QHBoxLayout;
  modes->addWidget(newestOnTop_);
  modes->addWidget(newestAtBottom_);
  modes->addWidget(risingId_);
  modes->addStretch();
  auto* dataGrid = new QGridLayout(dataItems_);
  dataGrid->setVerticalSpacing(5);
  dataGrid->addWidget(Label(QStringLiteral("判断模式")), 0, 0);
  dataGrid->addLayout(modes, 0, 1, 1, 5);
  dataGrid->addWidget(Label(QStringLiteral("标题索引")), 1, 0);
  dataGrid->addWidget(titleIndex_, 1, 1);
  dataGrid->addWidget(Label(QStringLiteral("备用索引")), 1, 2);
  dataGrid->addWidget(spareIndex_, 1, 3);
  dataGrid->addWidget(Label(QStringLiteral("文章id索引")), 1, 4);
  dataGrid->addWidget(idIndex_, 1, 5);
  dataGrid->addWidget(Label(QStringLiteral("合成网址")), 2, 0);
  dataGrid->addWidget(urlTemplate_, 2, 1, 1, 5);

  // The frame of the two buttons and the id being edited.
  auto* actions = new QFrame(this);
  actions->setFrameShape(QFrame::StyledPanel);
  schemeId_ = Field(actions, QStringLiteral("项目编号框"), QStringLiteral("0"));
  schemeId_->setEnabled(false);
  schemeId_->setMaximumWidth(60);
  save_ = new QPushButton(NewCaption(), actions);
  save_->setObjectName(QStringLiteral("按钮_保存配置"));
  test_ = new QPushButton(QStringLiteral("规则测试"), actions);
  test_->setObjectName(QStringLiteral("按钮_测试配置"));
  auto* actionRow = new QHBoxLayout(actions);
  actionRow->setContentsMargins(6, 4, 6, 4);
  actionRow->addWidget(new QLabel(QStringLiteral("保存到")));
  actionRow->addWidget(schemeId_);
  actionRow->addStretch();
  actionRow->addWidget(save_);
  actionRow->addWidget(test_);
  actionRow_ = actionRow;

  hint_->ShowHint(LockedHint());
  results_ = new QTreeWidget(this);
  results_->setObjectName(QStringLiteral("测试列表框"));
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setColumnCount(0);
  results_->header()->setStretchLastSection(false);
  output_ = new QPlainTextEdit(WorkflowNote(), this);
  output_->setObjectName(QStringLiteral("测试编辑框"));

  keywords_ = new KeywordsBox(QStringLiteral("关键词"), true, this);
  keywords_->setObjectName(QStringLiteral("关键词"));

  auto* left = new QVBoxLayout;
  left->addWidget(capture);
  left->addWidget(dataItems_);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(actions);
  right->addWidget(hint_);
  right->addWidget(results_, 2);
  // Under the test's hits, whose marks show what the lists would do.
  right->addWidget(keywords_);
  right->addWidget(output_, 1);
  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(6, 6, 6, 6);
  columns->addLayout(left, 11);
  columns->addLayout(right, 9);

  dataItems_->setEnabled(false);
  save_->setEnabled(false);
  SetEditorMode(0);
}

void SchemeEditor::PlaceProposer() {
  // 自动识别 beside 规则测试; its proposals under the capture settings.
  actionRow_->addWidget(proposer_->Button());
  captureGrid_->addWidget(Label(QStringLiteral("识别结果")), 6, 0);
  captureGrid_->addWidget(proposer_->Candidates(), 6, 1, 1, 2);
}

void SchemeEditor::Connect() {
  // Only a real change locks saving: typed text, or an offered expression picked that differs from the text
  // (picking one the box already shows, or leaving the box, changes nothing).
  connect(url_, &QLineEdit::textChanged, save_, [this] { save_->setEnabled(false); });
  connect(expression_, &QComboBox::editTextChanged, save_, [this] { save_->setEnabled(false); });
  connect(category_->lineEdit(), &QLineEdit::textEdited, this, &SchemeEditor::RefuseTypedCategory);
  connect(newestOnTop_, &QRadioButton::clicked, this, [this] { SetEditorMode(kNewestOnTop); });
  connect(newestAtBottom_, &QRadioButton::clicked, this, [this] { SetEditorMode(kNewestAtBottom); });
  connect(risingId_, &QRadioButton::clicked, this, [this] { SetEditorMode(kRisingId); });
  connect(save_, &QPushButton::clicked, this, &SchemeEditor::SaveScheme);
  connect(test_, &QPushButton::clicked, this, &SchemeEditor::TestRule);
  for (QWidget* control :
       std::initializer_list<QWidget*>{name_, gbk_, render_, ua_, url_, cookie_, before_, after_, expression_,
                                       expression_->lineEdit(), titleIndex_, urlTemplate_, idIndex_}) {
    control->installEventFilter(this);
  }
}

bool SchemeEditor::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) ShowHintOf(watched);
  if (event->type() == QEvent::FocusOut && watched == idIndex_ && idIndex_->text().isEmpty()) {
    idIndex_->setText(QStringLiteral("0"));
  }
  return QWidget::eventFilter(watched, event);
}

void SchemeEditor::ShowHintOf(QObject* control) {
  if (control == name_) {
    hint_->ShowHint(QStringLiteral("方案的标识，示例：天涯论坛_休闲版块"));
  } else if (control == gbk_) {
    hint_->ShowHint(QStringLiteral("源站的编码，选错会乱码。勾选表示gbk，否则为utf-8"));
  } else if (control == render_) {
    hint_->ShowHint(QStringLiteral("文章列表由网页脚本生成时勾选：用浏览器打开并运行脚本后再采集，较慢"));
  } else if (control == ua_) {
    hint_->ShowHint(QStringLiteral("自定义浏览器标记，采集手机版页面可能用到！"));
  } else if (control == url_) {
    hint_->ShowHint(QStringLiteral("被监控的列表页面地址"));
  } else if (control == cookie_) {
    hint_->ShowHint(QStringLiteral("可为空！用于需要登陆才能查看的网站"));
  } else if (control == before_) {
    hint_->ShowHint(QStringLiteral("将从源码的该标记开始匹配，如不明白，可保持默认"));
  } else if (control == after_) {
    hint_->ShowHint(QStringLiteral("采集区域从此处结束，如不明白，可保持默认"));
  } else if (control == expression_ || control == expression_->lineEdit()) {
    hint_->ShowHint(QStringLiteral("重要！匹配文章的正则表达式，"), QStringLiteral("获取帮助"),
                    HelpLink(HelpExpressions()));
  } else if (control == titleIndex_) {
    hint_->ShowHint(QStringLiteral("正则匹配得到的 标题的索引编号。下同"));
  } else if (control == urlTemplate_) {
    hint_->ShowHint(QStringLiteral("合成实际的文章地址。[1]表示测试结果索引1的内容"));
  }
}

void SchemeEditor::RefuseTypedCategory() {
  // Only an entry picked from the list sets the category; typed text would name no position.
  category_->setEditText(CategoryPlaceholder());
  ShowMessage(window(), QStringLiteral("请下拉将方案归类，　高级设置　中可管理分类"), DefaultCaption(),
              MessageIcon::Warning);
}

void SchemeEditor::Unlock() {
  save_->setEnabled(true);
  dataItems_->setEnabled(true);
}

void SchemeEditor::SetCategories(const std::vector<std::string>& names) {
  category_->clear();
  for (std::size_t i = 0; i < names.size(); ++i)
    category_->addItem(FromGbk(names[i]), static_cast<int>(i + 1));
  category_->setCurrentIndex(-1);
  category_->setEditText(CategoryPlaceholder());
}

void SchemeEditor::AppendCategories(const std::vector<std::string>& names, int firstNumber) {
  // Adding items leaves the selection and the text shown as they are.
  for (const std::string& name : names) category_->addItem(FromGbk(name), firstNumber++);
}

void SchemeEditor::SetEditorMode(int mode) {
  editorMode_ = mode;
  idIndex_->setEnabled(mode == kRisingId);
  if (mode == kRisingId) {
    risingId_->setChecked(true);
  } else if (mode == kNewestAtBottom) {
    newestAtBottom_->setChecked(true);
  } else {
    newestOnTop_->setChecked(true);
  }
}

void SchemeEditor::LoadSchemeIntoEditor(LoadMode mode, const SchemeCells& row) {
  emit showRequested();
  if (mode == LoadMode::Edit) {
    schemeId_->setText(FromGbk(CellOf(row, kRuleId)));
    save_->setText(UpdateCaption());
  }
  gbk_->setChecked(CellOf(row, kRuleCode) != "0");
  SetEditorMode(ToInteger(CellOf(row, kRuleType)));
  name_->setText(FromGbk(CellOf(row, kRuleName)));
  // Class n is the n-th category; 0, an empty cell or a number without a category selects nothing.
  const int categoryIndex = ToInteger(CellOf(row, kRuleClass)) - 1;
  category_->setCurrentIndex(categoryIndex >= 0 && categoryIndex < category_->count() ? categoryIndex : -1);
  if (category_->currentIndex() < 0) category_->setEditText(CategoryPlaceholder());
  url_->setText(FromGbk(CellOf(row, kRuleUrl)));
  before_->setText(FromGbk(CellOf(row, kRuleBefore)));
  after_->setText(FromGbk(CellOf(row, kRuleAfter)));
  expression_->setEditText(FromGbk(CellOf(row, kRuleRegular)));
  urlTemplate_->setText(FromGbk(CellOf(row, kRuleBuquan)));
  cookie_->setText(FromGbk(CellOf(row, kRuleCookie)));
  ua_->setText(FromGbk(CellOf(row, kRuleUa)));
  titleIndex_->setText(FromGbk(CellOf(row, kRuleTindex)));
  idIndex_->setText(FromGbk(CellOf(row, kRuleUindex)));
  spareIndex_->setText(FromGbk(CellOf(row, kRuleOindex)));
  // A copy takes the options of the scheme it copies, keywords included.
  loadedOptions_ =
      mode == LoadMode::New ? SchemeOptions{} : ReadSchemeOptions(options_, ToInteger(CellOf(row, kRuleId)));
  keywords_->SetLists(KeywordListsOf(loadedOptions_));
  render_->setChecked(RendersPage(loadedOptions_));
  // A loaded address has not passed a test in this form yet.
  save_->setEnabled(false);
  if (mode == LoadMode::Edit) return;

  schemeId_->setText(QStringLiteral("0"));
  save_->setText(NewCaption());
  ua_->setText(DefaultSchemeAgent());
  ua_->setCursorPosition(0);
  idIndex_->setText(QStringLiteral("1"));
  category_->setEditText(CategoryPlaceholder());
}

SchemeOptions SchemeEditor::Options() const {
  SchemeOptions options = loadedOptions_;
  PutKeywordLists(options, keywords_->Lists());
  const std::string render(kRenderOption);
  if (render_->isChecked()) {
    options[render] = "1";
  } else {
    options.erase(render);
  }
  std::erase_if(options, [](const auto& option) { return option.second.empty(); });
  return options;
}

SchemeFields SchemeEditor::Fields() const {
  SchemeFields f;
  f.code.assign(1, gbk_->isChecked() ? '1' : '0');
  f.url = ToGbk(url_->text());
  f.before = ToGbk(before_->text());
  f.after = ToGbk(after_->text());
  f.regular = ToGbk(expression_->currentText());
  f.buquan = ToGbk(urlTemplate_->text());
  f.cookie = ToGbk(cookie_->text());
  f.tindex = ToGbk(titleIndex_->text());
  f.uindex = ToGbk(idIndex_->text());
  f.oindex = ToGbk(spareIndex_->text());
  f.ua = ToGbk(ua_->text());
  const int picked = category_->currentIndex();
  f.classNumber = picked < 0 ? 1 : category_->itemData(picked).toInt();
  f.name = ToGbk(name_->text());
  f.type = std::to_string(editorMode_);
  return f;
}

void SchemeEditor::EnsureCategory() {
  // A scheme shows in the tree only under a category: where there is none at all, a first save makes 默认,
  // and the scheme, filed under class 1, lands in it.
  if (settings_ == nullptr || category_->count() > 0) return;
  if (!ParseCategoryValue(settings_->ReadSetting(CategoriesKey())).empty()) return;
  const std::string name = QW_GBK("默认");
  if (!settings_->WriteSetting(CategoriesKey(), "<" + name + ">")) return;
  SetCategories({name});
  category_->setCurrentIndex(0);
  emit categoriesCreated({name});
}

void SchemeEditor::SaveScheme() {
  // An expression among the keywords that the engine refuses would match nothing: nothing is saved, and
  // everything typed stays for the correction.
  if (const std::optional<QString> problem = keywords_->Problem()) {
    ShowMessage(window(), *problem, QStringLiteral("关键词有误，未保存！"), MessageIcon::Warning);
    return;
  }
  if (idIndex_->text().isEmpty()) idIndex_->setText(QStringLiteral("0"));
  EnsureCategory();
  const SchemeFields fields = Fields();
  const std::string id = ToGbk(schemeId_->text());
  const std::string statement = id == "0" ? SchemeInsertStatement(fields) : SchemeUpdateStatement(fields, id);
  const bool saved = SaveWithOptions(statement, id);
  ShowMessage(window(), QStringLiteral("SQL语句：") + FromGbk(statement),
              saved ? QStringLiteral("方案新建成功！") : QStringLiteral("创建失败！"));
  // A failed save keeps what was typed, so it can be corrected and saved again.
  if (!saved) return;
  LoadSchemeIntoEditor(LoadMode::New, SchemeCells{});
  emit schemeSaved();
  SetEditorMode(kNewestOnTop);
}

bool SchemeEditor::SaveWithOptions(const std::string& statement, const std::string& id) {
  const SchemeOptions options = Options();
  const bool isNew = id == "0";
  // Unchanged options leave the scheme to be saved as it always was.
  if (!isNew && options == loadedOptions_) return Execute(options_, statement);

  if (!Execute(options_, "begin;" + statement + ";")) {
    Execute(options_, "rollback");
    return false;
  }
  // The new row's id, read inside the same transaction on this window's own connection.
  const int schemeId =
      isNew ? ToInteger(Query(options_, "select last_insert_rowid()").Cell(0, 0)) : ToInteger(id);
  // A new scheme without options adds no table to a database that has none; but options left behind by a
  // deleted scheme whose id a table without AUTOINCREMENT gives out again are not the new scheme's.
  if (isNew && options.empty() && schemeId > 0 && ReadSchemeOptions(options_, schemeId).empty()) {
    if (Execute(options_, "commit;")) return true;
    Execute(options_, "rollback");
    return false;
  }
  if (schemeId <= 0 || !Execute(options_, SchemeOptionsStatement(schemeId, options) + "commit;")) {
    Execute(options_, "rollback");
    return false;
  }
  return true;
}

void SchemeEditor::SetEveryoneKeywords(const KeywordLists& lists) { marks_->SetEveryoneKeywords(lists); }

void SchemeEditor::TestRule() { tester_->Run(); }

}  // namespace qw::ui
