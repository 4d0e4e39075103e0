#include "ui/main/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <system_error>

#include "keywords/global_keywords.h"
#include "storage/storage.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "ui/main/app_icons.h"
#include "ui/help/help_window.h"
#include "ui/main/article_list.h"
#include "ui/main/category_tree.h"
#include "ui/main/gbk_text.h"
#include "ui/main/health_marks.h"
#include "ui/main/keyword_look.h"
#include "ui/main/message_boxes.h"
#include "ui/main/mini_homepage.h"
#include "ui/main/outer_size.h"
#include "ui/main/settings_menu.h"
#include "ui/main/status_box.h"
#include "ui/options/options_window.h"
#include "ui/start/start_page.h"

namespace qw::ui {
namespace {

// Sizes beyond any screen come from a damaged settings file, not from a user.
constexpr int kLargestSize = 10000;
// A round changes many schemes' health one after the other; the start page is made anew once after them.
constexpr int kStartPageRefreshMs = 500;

// The saved size, or the design size when there is none or it is absurd.
int StartDimension(const std::string& saved, int design) {
  const int value = ToInteger(saved);
  return value <= 0 || value > kLargestSize ? design : value;
}

QToolButton* PictureButton(QWidget* parent, const QString& name, const QString& caption, const QString& tip,
                           const QIcon& icon, const QRect& geometry) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setToolTip(tip);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setAutoRaise(true);
  button->setGeometry(geometry);
  return button;
}

std::string PathText(const std::filesystem::path& path) { return Utf8ToGbk(path.string()); }

}  // namespace

MainWindow::MainWindow(Storage& storage, std::filesystem::path programDirectory, WindowSeams seams)
    : storage_(storage),
      programDirectory_(std::move(programDirectory)),
      seams_(std::move(seams)),
      settings_(programDirectory_ / "mavonet.ini") {
  if (!seams_.openOptions) {
    seams_.openOptions = [this](QWidget* parent, int tab) {
      OpenOptionsWindow(parent,
                        OptionsContext{storage_, databasePath_, settings_, *sql_,
                                       [this](const QString& address) { OpenWebAddress(address); },
                                       seams_.timing.fetchLimits, [this] { SchemesChangedInOptions(); },
                                       seams_.timing.render},
                        tab);
    };
  }
  BuildControls();
  StackControls();
  Connect();
}

MainWindow::~MainWindow() {
  // The workers end before anything they write to; the page view goes before the window's children, and the
  // icon leaves the tray.
  monitor_.reset();
  // What the last rounds changed in the schemes' health, the times of the last checks included.
  if (storage_.mainConnection.IsOpen()) health_.Save(storage_.mainConnection, true);
  homepage_->Close();
  tray_->Remove();
}

void MainWindow::BuildControls() {
  setWindowTitle(QStringLiteral("Quillwatch v2.0 （老司机必备神器）"));
  setWindowIcon(NormalIcon());
  setGeometry(50, 50, kDesignWidth, kDesignHeight);

  rightFrame_ = new QFrame(this);
  rightFrame_->setObjectName(QStringLiteral("右一框"));
  rightFrame_->setGeometry(251, 3, 646, 397);
  leftFrame_ = new QFrame(this);
  leftFrame_->setObjectName(QStringLiteral("左一框"));
  leftFrame_->setFrameShape(QFrame::StyledPanel);
  leftFrame_->setGeometry(2, 410, 245, 40);

  status_ = new StatusBox(this);
  status_->setObjectName(QStringLiteral("状态框"));
  status_->setGeometry(250, 427, 714, 30);
  status_->SetStatusText(QW_GBK("欢迎使用“Quillwatch”！有新文章出现时，Quillwatch 会立即提醒你。"));
  sql_ = std::make_unique<SqlRunner>(storage_.mainConnection, storage_.busy, *status_);

  tree_ = new CategoryTree(storage_.mainConnection, storage_.schemes, storage_.categories, this);
  tree_->setGeometry(3, 24, 245, 379);
  tree_->SetSettings(&settings_);

  allArticles_ = PictureButton(this, QStringLiteral("全部文章按钮"), QStringLiteral("全部文章"),
                               QStringLiteral("显示所有的文章"), AllArticlesIcon(), QRect(4, 0, 74, 24));
  favourites_ = PictureButton(this, QStringLiteral("收藏按钮"), QStringLiteral("收藏夹"),
                              QStringLiteral("我收藏的文章"), FavouritesIcon(), QRect(75, 0, 60, 24));
  // 关注 shows its caption on the marker colour of the articles it lists; there is room beside 收藏夹 for
  // the caption alone.
  watched_ = PictureButton(this, QStringLiteral("关注按钮"), QStringLiteral("关注"),
                           QStringLiteral("关注词命中的文章"), QIcon(), QRect(134, 0, 28, 24));
  watched_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  watched_->setStyleSheet(WatchedButtonStyle());
  settingsButton_ = PictureButton(this, QStringLiteral("设置按钮"), QStringLiteral("设置"),
                                  QStringLiteral("软件设置"), SettingsIcon(), QRect(161, 0, 46, 24));

  frequencyLabel_ = new QLabel(QStringLiteral("频率"), leftFrame_);
  frequencyLabel_->setObjectName(QStringLiteral("标签13"));
  frequencyLabel_->setGeometry(5, 8, 30, 28);
  frequency_ = new QLineEdit(QStringLiteral("300"), leftFrame_);
  frequency_->setObjectName(QStringLiteral("频率框"));
  frequency_->setGeometry(33, 11, 40, 22);
  run_ = new QPushButton(RunCaptionStopped(), leftFrame_);
  run_->setObjectName(QStringLiteral("运行"));
  run_->setGeometry(79, 8, 62, 26);
  fetch_ = new QPushButton(QStringLiteral("取全部方案文章"), leftFrame_);
  fetch_->setObjectName(QStringLiteral("获取"));
  fetch_->setGeometry(147, 8, 92, 26);
  collectAll_ =
      PictureButton(leftFrame_, QStringLiteral("超级按钮1"), QStringLiteral("取全部方案文章"),
                    QStringLiteral("获取所有方案的新文章"), CollectAllIcon(), QRect(147, 8, 92, 26));
  // It lies exactly over 获取 and must hide it: a raised, opaque button beside 运行. Its seven characters
  // fill the design width, so it shows its caption without the picture.
  collectAll_->setAutoRaise(false);
  collectAll_->setToolButtonStyle(Qt::ToolButtonTextOnly);

  MiniHomepagePages pages;
  pages.web = seams_.homepageViews;
  pages.own = [this](QWidget* parent) -> std::unique_ptr<HomepageView> {
    StartPageSource source{storage_.mainConnection, storage_.busy, storage_.schemes, health_};
    source.schemes = [this] {
      std::vector<int> ids;
      for (const TreeItem& item : tree_->Items()) {
        if (item.level >= 2) ids.push_back(item.value);
      }
      return ids;
    };
    source.openAddress = [this](const QString& address) { OpenWebAddress(address); };
    source.openHelp = [this](const QString& section) { ShowHelp(this, section); };
    return std::make_unique<StartPage>(std::move(source), parent);
  };
  pages.address = [this] { return FromGbk(settings_.ReadSetting(HomepageKey())); };
  homepage_ = new MiniHomepage(this, tree_, std::move(pages));
  homepage_->Switch()->setGeometry(209, 0, 39, 24);
  homepage_->SetGeometry(QRect(246, -2, 0, 500));
  articles_ =
      new ArticleList(storage_.mainConnection, storage_.busy, *sql_, *status_, *homepage_, rightFrame_);
  articles_->setGeometry(0, 0, 714, 388);

  tray_ = new TrayIcon(seams_.trayAvailable, this);
  notifier_ = new DesktopNotifier(
      seams_.notificationBus,
      [this](const QString& caption, const QString& body) { tray_->ShowMessage(caption, body); }, this);
  menu_ = new SettingsMenu(this);
  alert_ = new Alert(
      switches_, *tray_, *notifier_, *this, [this] { articles_->ListArticles(kAllArticles); },
      seams_.chime ? seams_.chime : SystemChime(this), this);
  monitor_ = std::make_unique<MonitorController>(storage_, *tree_, *run_, *frequency_, *status_, *alert_,
                                                 health_, seams_.timing, this);
  // Read as each round starts, so that lists saved in 高级设置 hold from the next round on.
  monitor_->SetEveryoneKeywords([this] { return ReadGlobalKeywords(settings_); });
}

void MainWindow::StackControls() {
  // Overlapping controls lie in the order of the design, the first on top: raising them from the last to the
  // first leaves 超级按钮1 over 获取, and the switch and the tree over the page view.
  for (QWidget* w : std::initializer_list<QWidget*>{frequencyLabel_, frequency_, fetch_, run_, collectAll_}) {
    w->raise();
  }
  const std::vector<QWidget*> bottomUp = {rightFrame_, leftFrame_,      status_,
                                          watched_,    favourites_,     allArticles_,
                                          tree_,       settingsButton_, homepage_->Switch()};
  for (QWidget* w : bottomUp) w->raise();
  homepage_->Open();
}

void MainWindow::Connect() {
  connect(run_, &QPushButton::clicked, monitor_.get(), &MonitorController::RunClicked);
  connect(fetch_, &QPushButton::clicked, monitor_.get(), &MonitorController::CollectClicked);
  connect(collectAll_, &QToolButton::clicked, monitor_.get(), &MonitorController::CollectClicked);
  connect(allArticles_, &QToolButton::clicked, this, [this] { articles_->ListArticles(kAllArticles); });
  connect(favourites_, &QToolButton::clicked, this, [this] { articles_->ListArticles(kFavourites); });
  connect(watched_, &QToolButton::clicked, this, [this] { articles_->ListArticles(kWatchedArticles); });
  connect(settingsButton_, &QToolButton::clicked, this, &MainWindow::PopUpMenu);
  connect(articles_, &ArticleList::openAddressRequested, this, &MainWindow::OpenWebAddress);

  connect(tree_, &CategoryTree::schemeChosen, articles_, &ArticleList::ListArticles);
  connect(tree_, &CategoryTree::openAddressRequested, this, &MainWindow::OpenWebAddress);
  connect(tree_, &CategoryTree::optionsRequested, this, &MainWindow::OpenOptions);
  connect(tree_, &CategoryTree::refreshRequested, this, &MainWindow::RefreshSchemeList);
  connect(tree_, &CategoryTree::loaded, this, [this] {
    MarkAllSchemes(*tree_, health_);
    homepage_->RefreshStartPage();
  });
  connect(monitor_.get(), &MonitorController::schemeHealthChanged, this, [this](int id) {
    MarkSchemeHealth(*tree_, health_, id);
    RefreshStartPageSoon();
  });

  connect(tray_, &TrayIcon::leftClicked, this, &MainWindow::RestoreFromTray);
  connect(tray_, &TrayIcon::doubleClicked, this, &MainWindow::RestoreFromTray);
  connect(tray_, &TrayIcon::menuRequested, this, &MainWindow::PopUpMenu);
  // A click on the desktop notification brings the window back as a click on the tray icon does.
  connect(notifier_, &DesktopNotifier::clicked, this, &MainWindow::RestoreFromTray);
  connect(tray_, &TrayIcon::messageClicked, this, &MainWindow::RestoreFromTray);

  connect(menu_, &SettingsMenu::optionsRequested, this, [this] { OpenOptions(3); });
  connect(menu_, &SettingsMenu::soundToggled, this, [this] { switches_.ToggleSound(settings_); });
  connect(menu_, &SettingsMenu::iconToggled, this, [this] { switches_.ToggleIcon(settings_); });
  connect(menu_, &SettingsMenu::desktopToggled, this, [this] { switches_.ToggleDesktop(settings_); });
  connect(menu_, &SettingsMenu::rememberSizeRequested, this, &MainWindow::RememberWindowSize);
  connect(menu_, &SettingsMenu::helpRequested, this, [this] { ShowHelp(this, HelpStart()); });
  connect(menu_, &SettingsMenu::aboutRequested, this, &MainWindow::ShowAbout);
  connect(menu_, &SettingsMenu::quitRequested, this, &MainWindow::Quit);
}

void MainWindow::Start() {
  // The settings give the outer size; the design size stands in where they give none.
  const QSize size(StartDimension(settings_.ReadSetting(WidthKey()), kDesignWidth),
                   StartDimension(settings_.ReadSetting(HeightKey()), kDesignHeight));
  ResizeOuterOnceFramed(*this, size);
  if (!isVisible()) ApplyLayout();
  switches_.Load(settings_);
  tray_->SetTrayIcon(NormalIcon(), IdleTrayTooltip());

  databasePath_ = programDirectory_ / "mavo.sdb";
  std::error_code error;
  if (!std::filesystem::exists(databasePath_, error)) {
    ShowMessage(this, QStringLiteral("数据库文件不存在！"), QStringLiteral("错误"));
    run_->setEnabled(false);
    return;
  }
  if (OpenMainDatabase()) {
    // What earlier runs found of each scheme, before the tree shows it.
    health_.Load(storage_.mainConnection);
  } else {
    ShowMessage(this, QStringLiteral("数据库打开失败！"));
    run_->setEnabled(false);
  }
  tree_->LoadSchemeTree();
}

void MainWindow::PopUpMenu() { menu_->PopUp(switches_.SoundOn(), switches_.IconOn(), switches_.DesktopOn()); }

void MainWindow::RefreshStartPageSoon() {
  if (startPageRefreshPending_ || !homepage_->ShowsStartPage()) return;
  // Nobody reads a page in the tray: it is made anew when the window comes back.
  if (!isVisible() || isMinimized()) {
    startPageStale_ = true;
    return;
  }
  startPageStale_ = false;
  startPageRefreshPending_ = true;
  QTimer::singleShot(kStartPageRefreshMs, this, [this] {
    startPageRefreshPending_ = false;
    homepage_->RefreshStartPage();
  });
}

bool MainWindow::OpenMainDatabase() {
  Connection& main = storage_.mainConnection;
  if (OpenDatabase(main, databasePath_) != OpenResult::Opened) {
    status_->AppendStatusLine(QW_GBK("\r\n无法打开数据库") + PathText(databasePath_) + QW_GBK("：") +
                              LastError(main));
    return false;
  }
  if (!HasProgramTables(main)) {
    // The connection stays open, so the SQL maintenance can still create the tables.
    status_->AppendStatusLine(QW_GBK("\r\n数据库") + PathText(databasePath_) +
                              QW_GBK("中缺少 rule 表或 info 表。"));
    return false;
  }
  return true;
}

QSize MainWindow::OuterSize() const { return OuterSizeOf(*this); }

void MainWindow::SetOuterSize(const QSize& outer) {
  ResizeOuter(*this, outer);
  // A hidden window receives its resize event only when shown; the controls take their places now.
  if (!isVisible()) ApplyLayout();
}

void MainWindow::ApplyLayout() {
  if (QTreeWidgetItem* first = tree_->topLevelItem(0)) first->setExpanded(true);
  const QSize outer = OuterSize();
  const int w = outer.width();
  const int h = outer.height();
  auto cut = [](int value) { return std::max(0, value); };
  tree_->resize(245, cut(h - 120));
  leftFrame_->move(2, cut(h - 90));
  rightFrame_->resize(cut(w - 270), cut(h - 45));
  homepage_->SetGeometry(QRect(246, -2, cut(w - 245), cut(h)));
  articles_->resize(cut(w - 270), cut(h - 75));
  status_->setGeometry(250, cut(h - 72), cut(w - 270), 30);
  articles_->setColumnWidth(ArticleList::kTitle, cut(w - 700));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyLayout();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !isMinimized() && startPageStale_) RefreshStartPageSoon();
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  // Into the tray, unless the desktop has none: the window could never be brought back.
  if (!tray_->Available() || !tray_->Shown()) return;
  QTimer::singleShot(0, this, [this] {
    if (isMinimized()) hide();
  });
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (startPageStale_) RefreshStartPageSoon();
}

bool MainWindow::event(QEvent* event) {
  // Coming back to the window acknowledges a waiting alert, every time one waits.
  if (event->type() == QEvent::WindowActivate && alert_->Pending()) alert_->AcknowledgeAlert();
  return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  Quit();
}

void MainWindow::RememberWindowSize() {
  const QSize outer = OuterSize();
  const bool saved = settings_.WriteSetting(HeightKey(), std::to_string(outer.height())) &&
                     settings_.WriteSetting(WidthKey(), std::to_string(outer.width()));
  ShowSettingSaved(this, saved);
}

void MainWindow::Quit() {
  monitor_->StopAll();
  tray_->Remove();
  QCoreApplication::exit(0);
}

void MainWindow::RestoreFromTray() {
  show();
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  showNormal();
  raise();
  activateWindow();
  // Activation acknowledges first where the desktop activates at once; an alert is acknowledged once.
  if (alert_->Pending()) alert_->AcknowledgeAlert();
}

void MainWindow::RefreshSchemeList() {
  if (monitor_->Running()) {
    ShowMessage(this, QStringLiteral("请先停止进行中的任务！"));
    return;
  }
  tree_->LoadSchemeTree();
}

void MainWindow::SchemesChangedInOptions() {
  if (monitor_->ActiveWorkers() > 0) {
    status_->AppendStatusLine(QW_GBK("\r\n方案已更改，监控进行中，将在下次“刷新方案列表”后生效。"));
    return;
  }
  // The reload collapses every category: those that were open open again, and the first, as the layout
  // opens it, so a first scheme shows under 默认 at once.
  QSet<QString> expanded;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    if (tree_->topLevelItem(i)->isExpanded()) expanded.insert(tree_->topLevelItem(i)->text(0));
  }
  tree_->LoadSchemeTree();
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* category = tree_->topLevelItem(i);
    if (i == 0 || expanded.contains(category->text(0))) category->setExpanded(true);
  }
}

void MainWindow::OpenOptions(int tab) {
  optionsTab_ = tab;
  seams_.openOptions(this, optionsTab_);
}

void MainWindow::ShowAbout() {
  ShowMessage(this,
              QStringLiteral("Quillwatch 2.0：盯住你关注的网页，有新文章出现时立即提醒你。"
                             "使用帮助见 设置 → 使用帮助。"),
              QStringLiteral("关于 Quillwatch"), MessageIcon::Information);
}

void MainWindow::OpenWebAddress(const QString& address) {
  QString reason;
  if (const std::optional<QUrl> url = WebAddressToOpen(address, &reason)) {
    seams_.openAddress(*url);
  } else {
    status_->AppendStatusLine(ToGbk(reason));
  }
}

}  // namespace qw::ui
