// The whole program as a person uses it: the real quillwatch executable in a program directory of its own, on
// a virtual X display with a real system tray, driven through X input against local sites, checked through
// its database, its settings file and what its window shows. Screenshots of each stage go to the build
// folder.

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "forum_simulator.h"
#include "layout_probe.h"
#include "notification_service.h"
#include "storage/database.h"
#include "storage/settings_file.h"
#include "text/encoding.h"
#include "ui/main/program_look.h"
#include "x_session.h"

namespace qw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const fs::path kOut = QW_E2E_OUT;

// The expressions a user writes for the two sites: link, article id and title on the board; link, id and
// title in the news index.
const QString kBoardExpression =
    QStringLiteral(R"re(<a href="(thread-(\d+)-1-1\.html)" class="s xst">(.*?)</a>)re");
const QString kNewsExpression = QStringLiteral(R"re(<a href="(/news/(\d+)\.html)">(.*?)</a>)re");

// A read of the program's database from beside it, as a backup tool would read it; texts in UTF-8.
std::vector<std::vector<std::string>> Rows(const fs::path& db, const std::string& sql) {
  Connection connection;
  OpenDatabase(connection, db);
  std::vector<std::vector<std::string>> rows = Query(connection, sql).rows;
  for (auto& row : rows) {
    for (std::string& field : row) field = GbkToUtf8(field);
  }
  return rows;
}

int Count(const fs::path& db, const std::string& sql) {
  const auto rows = Rows(db, sql);
  return rows.empty() || rows[0].empty() ? -1 : std::stoi(rows[0][0]);
}

// The tray's two icons, told apart by colour: the program's own is blue, the alert's bell warm.
bool ShowsAlert(const QImage& tray) {
  int warm = 0;
  for (int y = 0; y < tray.height(); ++y) {
    for (int x = 0; x < tray.width(); ++x) {
      const QColor c = tray.pixelColor(x, y);
      if (c.red() > c.blue() + 80) ++warm;
    }
  }
  return warm > 20;
}

void Save(const QImage& image, const std::string& name) {
  fs::create_directories(kOut);
  image.save(QString::fromStdString((kOut / name).string()));
}

// What the process uses, read from /proc.
struct Usage {
  long residentKiB = 0;
  double cpuSeconds = 0;
};

Usage UsageOf(qint64 pid) {
  Usage usage;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) usage.residentKiB = std::stol(line.substr(6));
  }
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  const std::size_t close = all.rfind(')');
  if (close != std::string::npos) {
    std::istringstream fields(all.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; fields >> field; ++i) {
      if (i == 14 || i == 15) ticks += std::stol(field);
      if (i == 15) break;
    }
    usage.cpuSeconds = static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  return usage;
}

// The proportional set size of a process and all its descendants, in KiB, and how many processes that is:
// what the program costs the machine, its helpers shared libraries counted once over all of them.
std::pair<long, int> PssOfTree(pid_t root) {
  std::vector<pid_t> tree{root};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stat(entry.path() / "stat");
      std::string all((std::istreambuf_iterator<char>(stat)), {});
      const std::size_t close = all.rfind(')');
      if (close == std::string::npos) continue;
      std::istringstream fields(all.substr(close + 2));
      std::string state;
      pid_t parent = 0;
      fields >> state >> parent;
      if (parent == tree[i]) tree.push_back(static_cast<pid_t>(std::stol(name)));
    }
  }
  long pss = 0;
  for (const pid_t pid : tree) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
      if (line.rfind("Pss:", 0) == 0) pss += std::stol(line.substr(4));
    }
  }
  return {pss, static_cast<int>(tree.size())};
}

// How many homepage helpers started from the program directory are running.
int HelpersRunningIn(const fs::path& dir) {
  const std::string helper = (dir / "quillwatch-homepage").string();
  int running = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream cmdline(entry.path() / "cmdline");
    std::string first;
    if (std::getline(cmdline, first, '\0') && first == helper) ++running;
  }
  return running;
}

// The program as installed in a directory of its own: both executables and a starter database.
class Program {
 public:
  explicit Program(const fs::path& dir) : dir_(dir) {}
  ~Program() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }

  static void Install(const fs::path& dir) {
    for (const char* exe : {QW_PROGRAM_BIN, QW_HELPER_BIN}) {
      fs::copy_file(exe, dir / fs::path(exe).filename(), fs::copy_options::overwrite_existing);
    }
    QProcess initdb;
    initdb.start(QStringLiteral(QW_INITDB_BIN),
                 {QStringLiteral(QW_SCHEMA_FILE), QString::fromStdString((dir / "mavo.sdb").string())});
    initdb.waitForFinished(10000);
  }

  // Starts it with the session bus given (never the desktop's) and the variables added, and waits until its
  // main window is on the screen; false when it did not come.
  bool Start(const QString& bus, const QProcessEnvironment& added = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const QString& key : added.keys()) env.insert(key, added.value(key));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QString::fromStdString(dir_.string()));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QString::fromStdString((dir_ / "quillwatch").string()), {});
    return WaitFor(
        [&] {
          const QStringList found = FindWindows(QStringLiteral("^Quillwatch v2.0"));
          if (found.isEmpty()) return false;
          window_ = found.first();
          return true;
        },
        20s, 50ms);
  }

  QRect Geometry() const { return WindowGeometry(window_).value_or(QRect()); }
  const QString& Window() const { return window_; }
  qint64 Pid() const { return process_.processId(); }
  bool Running() const { return process_.state() != QProcess::NotRunning; }
  void KillHard() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(5000);
  }
  bool WaitForExit(std::chrono::milliseconds timeout) {
    return WaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeout);
  }
  int ExitCode() const { return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1; }
  // 退出, the last entry of the tray's menu; true when the program ended cleanly.
  bool Quit(Person& person, QPoint trayIcon) {
    if (!person.OpenMenu(trayIcon)) return false;
    person.Key(QStringLiteral("Up Return"));
    return WaitForExit(10s) && ExitCode() == 0;
  }

 private:
  fs::path dir_;
  QProcess process_;
  QString window_;
};

class EndToEndTest : public ::testing::Test {
 protected:
  fs::path Db() const { return dir_.Database(); }

  void StartProgram(const QProcessEnvironment& added = {}) {
    ASSERT_TRUE(bus_.Ready() && notifications_.Registered()) << "no notification service on a bus of our own";
    program_ = std::make_unique<Program>(dir_.Path());
    ASSERT_TRUE(program_->Start(bus_.Address(), added)) << "the main window did not appear";
    main_ = program_->Geometry();
    ASSERT_FALSE(main_.isEmpty());
    Probe();
  }
  // Learns the places of the controls on the program directory as it stands now.
  void Probe() { probe_ = std::make_unique<LayoutProbe>(dir_.Path(), main_.size()); }

  QPoint AtMain(const char* name) const { return main_.topLeft() + probe_->Main(name); }
  QPoint AtOptions(const char* name) const { return options_.topLeft() + probe_->Options(name); }

  // The tray: trayer's panel at the top right of the screen.
  QRect TrayArea() const {
    QRect area;
    for (const QString& panel : FindWindows(QStringLiteral("^panel$"))) {
      const QRect r = WindowGeometry(panel).value_or(QRect());
      if (r.width() > 0 && (area.isNull() || r.right() > area.right())) area = r;
    }
    return area;
  }
  // The program's icon in it, found by its colours, once it is alone there (the layout probe's window puts
  // an icon of its own in the tray for a moment).
  QPoint TrayIcon() const {
    QRect area;
    WaitFor(
        [&] {
          area = TrayArea();
          return area.width() > 0 && area.width() < 40;
        },
        5s);
    const QImage tray = GrabArea(area);
    QRect icon;
    for (int y = 0; y < tray.height(); ++y) {
      for (int x = 0; x < tray.width(); ++x) {
        const QColor c = tray.pixelColor(x, y);
        if (c.blue() > c.red() + 80 || c.red() > c.blue() + 80) icon |= QRect(x, y, 1, 1);
      }
    }
    return area.topLeft() + (icon.isNull() ? QRect(QPoint(), area.size()).center() : icon.center());
  }

  // Opens a menu with a right click and picks an entry by keyboard.
  void MenuPick(QPoint at, const QString& keys) {
    ASSERT_TRUE(person_.OpenMenu(at)) << "no menu opened";
    person_.Key(keys);
    person_.Key(QStringLiteral("Return"));
  }

  void WaitForOptionsWindow() {
    QString window;
    ASSERT_TRUE(WaitFor(
        [&] {
          const QStringList found = FindWindows(QStringLiteral("^选项$"));
          if (found.isEmpty()) return false;
          window = found.first();
          return true;
        },
        10s));
    options_ = WindowGeometry(window).value_or(QRect());
    optionsWindow_ = window;
    WaitFor([] { return false; }, 300ms);
  }
  void CloseOptionsWindow() {
    Xdotool({"windowfocus", "--sync", optionsWindow_});
    person_.Key(QStringLiteral("Escape"));
    ASSERT_TRUE(WaitFor([] { return FindWindows(QStringLiteral("^选项$")).isEmpty(); }, 5s));
  }
  void Fill(const char* name, const QString& text) {
    person_.Click(AtOptions(name));
    person_.Replace(text);
  }
  QImage GrabOptions() const { return GrabArea(options_); }

  // 刷新方案列表, from the tree's menu (its last entry).
  void RefreshTree() {
    MenuPick(main_.topLeft() + probe_->Main("栏目框") + QPoint(0, 150), QStringLiteral("Up"));
    WaitFor([] { return false; }, 500ms);
    Probe();
  }

  void RecordUsage(const std::string& when) {
    const Usage u = UsageOf(program_->Pid());
    usage_.push_back(when + ": resident " + std::to_string(u.residentKiB / 1024) + " MiB, cpu " +
                     std::to_string(u.cpuSeconds) + " s");
    std::printf("[usage] %s\n", usage_.back().c_str());
  }

  // The scheme whose fields the editor shows is tested (the hits' message answered) and saved.
  void TestAndSave(const std::string& shot) {
    person_.Click(AtOptions("按钮_测试配置"));
    ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("信息："))) << "no message after 规则测试";
    if (!shot.empty()) Save(GrabOptions(), shot);
  }

  ProgramDir dir_;
  ForumSimulator sim_;
  // The program's session bus; a notification service on it records what the program shows (and keeps the
  // tray's balloons, shown where there is none, off the screen the test reads).
  TestBus bus_;
  NotificationRecorder notifications_{bus_, {"body", "actions"}};
  Person person_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<LayoutProbe> probe_;
  QRect main_;
  QRect options_;
  QString optionsWindow_;
  std::vector<std::string> usage_;
};

// The titles stored, oldest row first, as "B<id>" for the board and "N<id>" for the news.
std::vector<std::string> StoredArticles(const fs::path& db) {
  std::vector<std::string> stored;
  for (const auto& row : Rows(db, "select planid, url from info order by id")) {
    const std::string& url = row[1];
    const std::size_t digits = url.find_first_of("0123456789", url.rfind('/') + 1);
    stored.push_back((row[0] == "1" ? "B" : "N") +
                     url.substr(digits, url.find_first_not_of("0123456789", digits) - digits));
  }
  return stored;
}

TEST_F(EndToEndTest, ADayOfMonitoring) {
  Program::Install(dir_.Path());
  sim_.AddBoardArticles(4);
  sim_.AddNewsArticles(3);
  NotificationRecorder& notifications = notifications_;
  StartProgram();
  // The mini homepage (no network here: its own quick start) goes off, so the article list shows.
  person_.Click(AtMain("迷你首页"));
  const QImage normalTray = GrabArea(TrayArea());

  // Two categories, saved in 高级设置, reached through 设置 → 选项设置.
  person_.Click(AtMain("设置按钮"));
  WaitFor([] { return false; }, 300ms);
  person_.Key(QStringLiteral("Down"));
  person_.Key(QStringLiteral("Return"));
  WaitForOptionsWindow();
  person_.Click(AtOptions("分类编辑框"));
  person_.Paste(QStringLiteral("新闻\n论坛"));
  person_.Click(AtOptions("保存栏目"));
  ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("　保存成功！")));
  Save(GrabOptions(), "options-advanced.png");
  CloseOptionsWindow();
  RefreshTree();

  // The board: GBK, behind its login cookie, judged by its rising thread ids.
  MenuPick(main_.topLeft() + probe_->Main("栏目框") + QPoint(0, 150),
           QStringLiteral("Down"));  // 新建一个监控方案
  WaitForOptionsWindow();
  Fill("编辑框_站名", QStringLiteral("本地论坛_灌水区"));
  person_.Click(AtOptions("组合框1"));
  person_.Key(QStringLiteral("Down"));
  Fill("编辑框_网址", QString::fromStdString(sim_.BoardUrl()));
  Fill("cookie框", QString::fromLatin1(ForumSimulator::kLoginCookie));
  Fill("采集前", QStringLiteral("<table id=\"threadlist\">"));
  Fill("采集后", QStringLiteral("</table>"));
  Fill("正则框", kBoardExpression);
  TestAndSave("options-editor.png");
  person_.Click(AtOptions("单选框3"));
  Fill("tindex框", QStringLiteral("3"));
  Fill("uindex框", QStringLiteral("2"));
  const QString base = QString::fromStdString(sim_.BoardUrl()).section(QLatin1Char('/'), 0, 2);
  Fill("补全框", base + QStringLiteral("/bbs/[1]"));
  person_.Click(AtOptions("按钮_保存配置"));
  ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("方案新建成功！")));

  // The news index: UTF-8, through a redirect, newest on top.
  Fill("编辑框_站名", QStringLiteral("本地新闻"));
  person_.Click(AtOptions("组合框1"));
  person_.Key(QStringLiteral("Down Down"));
  person_.Click(AtOptions("gbk"));
  Fill("编辑框_网址", QString::fromStdString(sim_.NewsUrl()));
  Fill("采集前", QStringLiteral("<div id=\"news\">"));
  Fill("采集后", QStringLiteral("</body>"));
  Fill("正则框", kNewsExpression);
  TestAndSave("");
  Fill("tindex框", QStringLiteral("3"));
  Fill("补全框", base + QStringLiteral("[1]"));
  person_.Click(AtOptions("按钮_保存配置"));
  ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("方案新建成功！")));
  person_.Click(options_.topLeft() + probe_->OptionsTab(0));
  WaitFor([] { return false; }, 300ms);
  Save(GrabOptions(), "options-list.png");
  CloseOptionsWindow();

  const auto schemes =
      Rows(Db(), "select id, class, code, name, type, tindex, uindex, isdo from rule order by id");
  ASSERT_EQ(schemes.size(), 2u);
  EXPECT_EQ(schemes[0], (std::vector<std::string>{"1", "1", "1", "本地论坛_灌水区", "8", "3", "2", "0"}));
  EXPECT_EQ(schemes[1], (std::vector<std::string>{"2", "2", "0", "本地新闻", "0", "3", "1", "0"}));

  // Both alerts on from the tray's menu (切换图标, then 播放声音); both categories ticked and opened
  // (展开列表), every 10 s, monitoring on; then the person turns to something else.
  MenuPick(TrayIcon(), QStringLiteral("Down Down Down"));
  MenuPick(TrayIcon(), QStringLiteral("Down Down"));
  RefreshTree();
  person_.Click(main_.topLeft() + probe_->TreeCheckBox(0));
  person_.Click(main_.topLeft() + probe_->TreeCheckBox(1));
  MenuPick(main_.topLeft() + probe_->Main("栏目框") + QPoint(0, 150), QStringLiteral("Up Up"));
  person_.Click(AtMain("频率框"));
  person_.Replace(QStringLiteral("10"));
  person_.Click(AtMain("运行"));
  RecordUsage("monitoring started");
  Xdotool({"windowfocus", FindWindows(QStringLiteral("^panel$")).value(0)});

  // Cycle 1 stores what the sites hold; cycle 2 what they gained meanwhile.
  ASSERT_TRUE(WaitFor(
      [&] {
        return Count(Db(), "select count(*) from info") == 7 &&
               Count(Db(), "select count(*) from rule where lasttime <> ''") == 2;
      },
      60s, 200ms));
  RecordUsage("cycle 1 stored");
  sim_.AddBoardArticles(3);
  sim_.AddNewsArticles(2);
  ASSERT_TRUE(WaitFor(
      [&] {
        return Count(Db(), "select count(*) from info") == 12 &&
               Count(Db(), "select count(*) from rule where id = 1 and lastid = 1007") == 1 &&
               Count(Db(), "select count(*) from rule where id = 2 and arttile like '%505%'") == 1;
      },
      60s, 200ms));
  WaitFor([] { return false; }, 1s);
  RecordUsage("cycle 2 stored");
  const QImage alertTray = GrabArea(TrayArea());
  EXPECT_FALSE(ShowsAlert(normalTray));
  EXPECT_TRUE(ShowsAlert(alertTray)) << "the tray icon shows no alert";
  // A desktop notification for each cycle that stored something, naming its first five articles in the
  // order stored.
  ASSERT_TRUE(WaitFor([&] { return notifications.received.size() == 2; }, 5s));
  EXPECT_EQ(notifications.received[0].summary, QStringLiteral("发现 7 篇新文章"));
  const QStringList firstLines = notifications.received[0].body.split('\n');
  ASSERT_EQ(firstLines.size(), 6) << notifications.received[0].body.toStdString();
  EXPECT_EQ(firstLines[0], QStringLiteral("本地论坛_灌水区：讨论帖1004：今天的话题"));
  EXPECT_EQ(firstLines[5], QStringLiteral("……还有 2 篇"));
  EXPECT_EQ(notifications.received[1].summary, QStringLiteral("发现 5 篇新文章"));

  // Back to the window through the tray: the alert is acknowledged and the newest articles are listed. The
  // status box still tells of cycle 2 (each cycle starts it afresh).
  person_.Click(TrayIcon());
  WaitFor([] { return false; }, 800ms);
  const QImage acknowledgedTray = GrabArea(TrayArea());
  Save(alertTray, "tray-alert.png");
  EXPECT_FALSE(ShowsAlert(acknowledgedTray)) << "the alert was not acknowledged";
  if (ShowsAlert(acknowledgedTray)) Save(GrabScreen(), "failed-acknowledgement.png");
  // The user has seen the list: the notifications still shown are taken away.
  EXPECT_TRUE(WaitFor([&] { return notifications.closed.size() == 2; }, 5s));
  Save(GrabArea(main_), "main-window.png");
  person_.Click(AtMain("状态框"));
  const QString cycle2 = person_.CopyFocusedText();

  // The newest article becomes a favourite; the favourites, then the board's articles are viewed.
  person_.Click(main_.topLeft() + probe_->ArticleRow(0));
  MenuPick(main_.topLeft() + probe_->ArticleRow(0), QStringLiteral("Down"));
  EXPECT_TRUE(WaitFor([&] { return Count(Db(), "select count(*) from info where issoucang = 1") == 1; }, 5s));
  person_.Click(AtMain("收藏按钮"));
  Save(GrabArea(main_), "main-window-favourites.png");
  person_.DoubleClick(main_.topLeft() + probe_->TreeText(1));
  WaitFor([] { return false; }, 300ms);
  Save(GrabArea(main_), "main-window-board.png");

  // The tray's menu, then what the status box says of the last cycle.
  EXPECT_TRUE(person_.OpenMenu(TrayIcon()));
  Save(GrabScreen(), "tray-menu.png");
  person_.Key(QStringLiteral("Escape"));
  person_.Click(AtMain("状态框"));
  const QString lastCycle = person_.CopyFocusedText();

  // Stop, and 退出 from the tray's menu (its last entry).
  person_.Click(AtMain("运行"));
  RecordUsage("monitoring stopped");
  ASSERT_TRUE(program_->Quit(person_, TrayIcon()));

  // Every article that appeared, stored once, in the order the passes store them: the board's new threads
  // from the bottom of its list up, the news from the oldest new one on.
  EXPECT_EQ(StoredArticles(Db()),
            (std::vector<std::string>{"B1004", "B1003", "B1002", "B1001", "N501", "N502", "N503", "B1007",
                                      "B1006", "B1005", "N504", "N505"}));
  const auto favourite = Rows(Db(), "select url from info where issoucang = 1");
  ASSERT_EQ(favourite.size(), 1u);
  EXPECT_NE(favourite[0][0].find("/news/505.html"), std::string::npos) << favourite[0][0];

  // Cycle 2 in the status box: both schemes' new articles stored in order, each pass's end line.
  std::ofstream(kOut / "status-cycle2.txt") << cycle2.toStdString();
  std::ofstream(kOut / "status-last-cycle.txt") << lastCycle.toStdString();
  int at = 0;
  for (const QString& next :
       {QStringLiteral("讨论帖1007："), QStringLiteral("讨论帖1006："), QStringLiteral("讨论帖1005："),
        QStringLiteral("任务1已结束----"), QStringLiteral("快讯504"), QStringLiteral("快讯505"),
        QStringLiteral("任务2已结束----"), QStringLiteral("本轮执行完毕！")}) {
    const int found = cycle2.indexOf(next, at);
    EXPECT_GE(found, at) << next.toStdString() << " missing after position " << at << " in:\n"
                         << cycle2.toStdString();
    if (found >= at) at = found;
  }
  // The last cycle before the stop found nothing new and says so for both schemes.
  EXPECT_TRUE(lastCycle.contains(QStringLiteral("任务1已结束----")) &&
              lastCycle.contains(QStringLiteral("任务2已结束----")))
      << lastCycle.toStdString();
  EXPECT_FALSE(lastCycle.contains(QStringLiteral("insert into info"))) << lastCycle.toStdString();

  const SettingsFile settings(dir_.Settings());
  EXPECT_EQ(GbkToUtf8(settings.ReadSetting(CategoriesKey())), "<新闻><论坛>");
  EXPECT_EQ(settings.ReadSetting(IconKey()), "1");
  EXPECT_EQ(settings.ReadSetting(SoundKey()), "1");

  std::ofstream samples(kOut / "usage.txt");
  for (const std::string& line : usage_) samples << line << "\n";
}

// A new user's first minute: a fresh program directory, no category, no expression written. The address is
// pasted, 自动识别 fills the rest, the scheme is saved and ticked, and monitoring stores the first articles.
TEST_F(EndToEndTest, FirstWatchedPageInOneMinute) {
  Program::Install(dir_.Path());
  sim_.AddNewsArticles(3);
  StartProgram();
  person_.Click(AtMain("迷你首页"));

  MenuPick(main_.topLeft() + probe_->Main("栏目框") + QPoint(0, 150),
           QStringLiteral("Down"));  // 新建一个监控方案
  WaitForOptionsWindow();
  Fill("编辑框_网址", QString::fromStdString(sim_.NewsUrl()));
  person_.Click(AtOptions("按钮_自动识别"));
  ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("信息："))) << "no message after 自动识别";
  Save(GrabOptions(), "options-proposed.png");
  Fill("编辑框_站名", QStringLiteral("本地新闻"));
  person_.Click(AtOptions("按钮_保存配置"));
  ASSERT_TRUE(person_.AnswerMessage(QStringLiteral("方案新建成功！")));
  CloseOptionsWindow();

  // The category 默认 was made for it, and the tree shows both without being refreshed by hand.
  const auto schemes = Rows(Db(), "select id, class, code, name, type from rule");
  ASSERT_EQ(schemes.size(), 1u);
  EXPECT_EQ(schemes[0], (std::vector<std::string>{"1", "1", "0", "本地新闻", "8"}));
  EXPECT_EQ(GbkToUtf8(SettingsFile(dir_.Settings()).ReadSetting(CategoriesKey())), "<默认>");
  Probe();
  // Ticking the category ticks its scheme.
  person_.Click(main_.topLeft() + probe_->TreeCheckBox(0));
  person_.Click(AtMain("频率框"));
  person_.Replace(QStringLiteral("10"));
  person_.Click(AtMain("运行"));
  const bool stored = WaitFor([&] { return Count(Db(), "select count(*) from info") == 3; }, 60s, 200ms);
  if (!stored) Save(GrabScreen(), "first-scheme-failed.png");
  ASSERT_TRUE(stored) << "stored " << Count(Db(), "select count(*) from info");
  Save(GrabArea(main_), "main-window-first-scheme.png");
  const auto urls = Rows(Db(), "select url from info order by id");
  EXPECT_NE(urls[0][0].find("/news/501.html"), std::string::npos) << urls[0][0];
  person_.Click(AtMain("运行"));
  EXPECT_TRUE(program_->Quit(person_, TrayIcon()));
}

// A program directory as a user's would be after setting up the two sites: categories, alerts on, both
// schemes ticked by default.
void PrepareSchemes(ProgramDir& dir, const ForumSimulator& sim) {
  dir.WriteSettings({"类别=<新闻><论坛>", "图标提醒=1", "语音提醒=0"});
  const std::string base = sim.BoardUrl().substr(0, sim.BoardUrl().find("/bbs/"));
  const std::string sql =
      "insert into "
      "rule(id,class,code,name,url,cookie,ua,buquan,regular,\"before\",\"after\",tindex,uindex,oindex,"
      "isdo,lastid,type) values(1,1,'1','本地论坛_灌水区','" +
      sim.BoardUrl() + "','" + ForumSimulator::kLoginCookie + "','Mozilla/5.0','" + base + "/bbs/[1]','" +
      kBoardExpression.toStdString() +
      "','<table id=\"threadlist\">','</table>','3','2','',1,0,'8');"
      "insert into "
      "rule(id,class,code,name,url,cookie,ua,buquan,regular,\"before\",\"after\",tindex,uindex,oindex,"
      "isdo,lastid,type) values(2,2,'0','本地新闻','" +
      sim.NewsUrl() + "','','Mozilla/5.0','" + base + "[1]','" + kNewsExpression.toStdString() +
      "','<div id=\"news\">','</body>','3','1','',1,0,'0');";
  dir.Sql(sql);
}

TEST_F(EndToEndTest, KilledInTheMiddleOfAPassComesBackWhole) {
  Program::Install(dir_.Path());
  sim_.AddBoardArticles(6);
  sim_.AddNewsArticles(3);
  PrepareSchemes(dir_, sim_);
  StartProgram();
  person_.Click(AtMain("频率框"));
  person_.Replace(QStringLiteral("10"));
  person_.Click(AtMain("运行"));

  // Killed while the first pass stores the board's threads, 400 ms apart.
  ASSERT_TRUE(WaitFor([&] { return Count(Db(), "select count(*) from info") >= 2; }, 30s, 20ms));
  program_->KillHard();
  // The mini homepage's helper ends with the program that started it.
  EXPECT_TRUE(WaitFor([&] { return HelpersRunningIn(dir_.Path()) == 0; }, 10s))
      << "the homepage helper outlived the program";
  const int storedBeforeKill = Count(Db(), "select count(*) from info");
  EXPECT_LT(storedBeforeKill, 6) << "the pass had ended before the kill";
  EXPECT_EQ(Rows(Db(), "pragma integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));

  // It starts as always, and its next cycle stores what the killed pass had not.
  StartProgram();
  WaitFor([] { return false; }, 1s);
  EXPECT_TRUE(FindWindows(QStringLiteral("^信息：$")).isEmpty()) << "a message box came at start";
  person_.Click(AtMain("频率框"));
  person_.Replace(QStringLiteral("10"));
  person_.Click(AtMain("运行"));
  ASSERT_TRUE(WaitFor([&] { return Count(Db(), "select count(*) from rule where lasttime <> ''") == 2; }, 60s,
                      200ms));
  EXPECT_EQ(StoredArticles(Db()), (std::vector<std::string>{"B1006", "B1005", "B1004", "B1003", "B1002",
                                                            "B1001", "N501", "N502", "N503"}));
  EXPECT_TRUE(program_->Quit(person_, TrayIcon()));
}

// What the recorder preloaded into the program wrote down so far: connection attempts and name look-ups.
std::string Recorded(const fs::path& log) {
  std::ifstream attempts(log);
  return std::string((std::istreambuf_iterator<char>(attempts)), {});
}

TEST_F(EndToEndTest, AStartAsksNoHostAnything) {
  Program::Install(dir_.Path());
  const fs::path log = dir_.Path() / "connections.txt";
  QProcessEnvironment recorded;
  recorded.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QW_CONNECT_RECORDER));
  recorded.insert(QStringLiteral("QW_CONNECT_LOG"), QString::fromStdString(log.string()));
  // A sanitizer build wants its runtime first among the preloaded libraries; the recorder comes first here.
  recorded.insert(QStringLiteral("ASAN_OPTIONS"),
                  qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));

  // A first start: the mini homepage is on, showing the program's own page; no helper, no web engine.
  StartProgram(recorded);
  WaitFor([] { return false; }, 3s);
  EXPECT_EQ(HelpersRunningIn(dir_.Path()), 0);
  Save(GrabArea(main_), "first-start.png");
  // Libraries this test's own process maps too are shared with it, so the figure is below what the program
  // alone would show.
  const auto [pssKiB, processes] = PssOfTree(static_cast<pid_t>(program_->Pid()));
  std::printf("[memory] first start: PSS %ld MiB over %d process(es)\n", pssKiB / 1024, processes);
  fs::create_directories(kOut);
  std::ofstream(kOut / "first-start.txt") << "PSS " << pssKiB / 1024 << " MiB over " << processes
                                          << " process(es)\n";
  EXPECT_EQ(Recorded(log), "") << "network connections or name look-ups at the first start";
  ASSERT_TRUE(program_->Quit(person_, TrayIcon()));

  // A start with schemes ticked by default asks nothing either, until the user collects.
  PrepareSchemes(dir_, sim_);
  StartProgram(recorded);
  WaitFor([] { return false; }, 3s);
  EXPECT_EQ(Recorded(log), "") << "network connections or name look-ups at start-up";
  person_.Click(AtMain("超级按钮1"));
  EXPECT_TRUE(WaitFor([&] { return Recorded(log).find("connect 127.0.0.1 port") != std::string::npos; }, 10s))
      << "the recorder saw no connection of the pass: " << Recorded(log);
  EXPECT_TRUE(program_->Quit(person_, TrayIcon()));
}

TEST_F(EndToEndTest, StartsOnAMillionArticles) {
  Program::Install(dir_.Path());
  std::string sql = "begin;";
  for (int id = 1; id <= 2000; ++id) {
    const std::string n = std::to_string(id);
    sql += "insert into rule(id,class,code,name,url,isdo,type) values(" + n + "," +
           std::to_string(id % 20 + 1) + ",'1','" + Utf8ToGbk("版块") + n + "','http://127.0.0.1:9/forum-" +
           n + ".html','0','0');";
  }
  sql +=
      "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000) "
      "insert into info(planname,planid,title,url,other,addtime,issoucang) select 'site', i % 2000 + 1, "
      "'title of article ' || i, 'http://bbs.example/thread-' || i || '.html', '', '2026-12-10 9:5 7', "
      "i % 1000 = 0 from n; commit;";
  dir_.SqlBytes(sql);
  std::string categories = "类别=";
  for (int c = 1; c <= 20; ++c) categories += "<分类" + std::to_string(c) + ">";
  dir_.WriteSettings({categories});

  QElapsedTimer clock;
  clock.start();
  StartProgram();
  const qint64 shownMs = clock.elapsed();
  std::printf("[startup] 1,000,000 articles, 2,000 schemes: window shown after %lld ms, cpu %.2f s\n",
              static_cast<long long>(shownMs), UsageOf(program_->Pid()).cpuSeconds);
  std::ofstream(kOut / "startup.txt") << "window shown after " << shownMs << " ms\n";
  EXPECT_TRUE(program_->Quit(person_, TrayIcon()));
}

}  // namespace
}  // namespace qw::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qw::test::XSession session;
  if (!session.Ready()) {
    std::fprintf(stderr, "e2e: %s\n", session.Failure().c_str());
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  qw::ui::ApplyProgramLook(application);
  qw::test::InstallQtPump();
  return RUN_ALL_TESTS();
}
