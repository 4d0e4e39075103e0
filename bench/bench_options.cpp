// The options window: opening it on a large scheme list, and the rule tester on a large page.
//
//   BM_BareSchemeQuery         "select * from rule" alone on 2,000 schemes (the baseline)
//   BM_OpenOptionsWindow       the window created on 方案列表 (connection opened, boxes filled, 2,000 schemes
//                              listed) and shown until the screen has it
//   BM_BareFetch               the test page fetched alone from a local server: 1 MiB, 5,000 threads, lines
//                              ending in CR LF, so that the region is one long line (the output box's worst
//                              case)
//   BM_RuleTest                规则测试 from click to filled result list on that page, fetch included;
//                              less BM_BareFetch it is what the tester itself costs
// Goals: BM_OpenOptionsWindow at most 300 ms; BM_RuleTest less BM_BareFetch at most 1 s.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QWindow>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "fetch/http_fetcher.h"
#include "log/status_log.h"
#include "storage/database.h"
#include "storage/settings_file.h"
#include "storage/sql_runner.h"
#include "storage/storage.h"
#include "support/http_test_server.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "ui/options/options_window.h"
#include "ui/options/scheme_editor.h"
#include "ui/options/scheme_list.h"
#include "window_bench.h"

namespace qw {
namespace {

constexpr int kSchemes = 2000;
constexpr int kThreads = 5000;

using bench::ExecOrAbort;
using bench::WaitUntilShown;

// 2,000 fully filled schemes in 10 categories.
const std::filesystem::path& SchemeDirectory() {
  static test::TempDir dir;
  static const bool made = [] {
    std::string sql = test::StarterSchema() + "begin;";
    for (int id = 1; id <= kSchemes; ++id) {
      const std::string n = std::to_string(id);
      sql +=
          "insert into rule values(" + n + "," + std::to_string(id % 10 + 1) + ",'1','" +
          Utf8ToGbk("论坛版块") + n + "','http://bbs.example/forum-" + n + "-1.html','sid=" + n +
          "','Mozilla/5.0 (Windows NT 6.1)','" + Utf8ToGbk("最新的帖子标题") +
          "','http://bbs.example/thread-" + n +
          ".html','2026-12-10 9:5 7','http://bbs.example/[1]','<a href=\"(.*?)\">(.*?)</a>','<ul>','</ul>',"
          "'2','1','0','1'," +
          n + ",'0');";
    }
    ExecOrAbort(dir / "mavo.sdb", sql + "commit;");
    return true;
  }();
  (void)made;
  return dir.path();
}

// The program's storage on the scheme directory, with the category list of ten names.
struct OptionsSetup {
  OptionsSetup()
      : settings(SchemeDirectory() / "mavonet.ini"), sql(storage.mainConnection, storage.busy, log) {
    OpenDatabase(storage.mainConnection, SchemeDirectory() / "mavo.sdb");
    std::vector<std::string> names;
    for (int c = 1; c <= 10; ++c) names.push_back(Utf8ToGbk("分类") + std::to_string(c));
    storage.categories.Assign(names);
  }
  ui::OptionsContext Context() {
    return ui::OptionsContext{storage, SchemeDirectory() / "mavo.sdb", settings,
                              sql,     [](const QString&) {},          {}};
  }

  Storage storage;
  SettingsFile settings;
  MemoryStatusLog log;
  SqlRunner sql;
};

void BM_BareSchemeQuery(benchmark::State& state) {
  OptionsSetup setup;
  OpenDatabase(setup.storage.optionsConnection, SchemeDirectory() / "mavo.sdb");
  for (auto _ : state) benchmark::DoNotOptimize(Query(setup.storage.optionsConnection, "select * from rule"));
}
BENCHMARK(BM_BareSchemeQuery)->Unit(benchmark::kMillisecond);

void BM_OpenOptionsWindow(benchmark::State& state) {
  OptionsSetup setup;
  for (auto _ : state) {
    ui::OptionsWindow window(setup.Context(), ui::OptionsWindow::kSchemeListTab);
    window.show();
    WaitUntilShown(window);
    if (window.List().topLevelItemCount() != kSchemes) state.SkipWithError("list not filled");
    state.PauseTiming();
    window.hide();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenOptionsWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

// A GBK board of 5,000 threads padded to 1 MiB, served from a local server.
test::HttpTestServer& BoardServer() {
  static const std::string page = [] {
    std::string body = "<html><body><ul>";
    for (int i = kThreads; i >= 1; --i) {
      body.append("<li class=\"thread\"><a href=\"thread-").append(std::to_string(i)).append(".html\">");
      body.append(Utf8ToGbk("第")).append(std::to_string(i)).append(Utf8ToGbk("个帖子的标题")).append("</a>");
      body.append(" <span class=\"author\">someone</span> <span class=\"time\">2026-12-10</span></li>\r\n");
    }
    body.resize(std::max<std::size_t>(body.size(), (1u << 20) - 16), ' ');
    return body + "</ul></body></html>";
  }();
  static test::HttpTestServer server(
      [](const test::ReceivedRequest&) { return test::MakeResponse(200, page); });
  return server;
}

void BM_BareFetch(benchmark::State& state) {
  const std::string url = BoardServer().Url("/forum.html");
  for (auto _ : state) {
    std::string cookie;
    benchmark::DoNotOptimize(FetchPageText(url, cookie, "bench", "1"));
  }
}
BENCHMARK(BM_BareFetch)->Unit(benchmark::kMillisecond);

void BM_RuleTest(benchmark::State& state) {
  OptionsSetup setup;
  ui::OptionsWindow window(setup.Context(), ui::OptionsWindow::kEditorTab);
  window.show();
  WaitUntilShown(window);
  window.findChild<QLineEdit*>(QStringLiteral("编辑框_网址"))
      ->setText(QString::fromStdString(BoardServer().Url("/forum.html")));
  window.findChild<QLineEdit*>(QStringLiteral("采集前"))->setText(QStringLiteral("<ul>"));
  window.findChild<QLineEdit*>(QStringLiteral("采集后"))->setText(QStringLiteral("</ul>"));
  window.findChild<QComboBox*>(QStringLiteral("正则框"))
      ->setEditText(QStringLiteral("<a href=\"(.*?)\">(.*?)</a>"));
  auto* results = window.findChild<QTreeWidget*>(QStringLiteral("测试列表框"));
  for (auto _ : state) {
    window.Editor().TestRule();
    QCoreApplication::processEvents();  // the list painted
    if (results->topLevelItemCount() != kThreads) state.SkipWithError("result list not filled");
  }
}
BENCHMARK(BM_RuleTest)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace qw

int main(int argc, char** argv) {
  qw::bench::WindowBenchApplication application(argc, argv);
  qw::ui::SetMessageHandler([](const qw::ui::MessageRequest&) {});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
