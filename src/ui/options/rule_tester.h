#pragma once
// The rule tester of the scheme editor: fetches the page being set up exactly as monitoring would, shows the
// capture region, and lists every hit with all its groups so the user sees which group holds the title, the
// link and the id. A test with a hit unlocks the editor. Nothing is stored and no cookie is kept.
//
// Both windows take no input while the test runs, as the click belongs to the test until it ends; the fetch
// and the matching run on a thread of their own meanwhile, so the windows keep painting, and the fetcher's
// limits bound how long a dead server can hold them. A scheme marked for the browser is tested through a
// renderer of the test's own, ended with it; its deadline bounds the wait in the same way.

#include <QObject>
#include <functional>
#include <stop_token>

#include "extract/rule_test.h"
#include "fetch/http_fetcher.h"
#include "render/render_session.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace qw::ui {

struct RuleTesterControls {
  QComboBox* expression;
  QLineEdit* url;
  QCheckBox* gbk;
  QCheckBox* render;  // 浏览器渲染
  QLineEdit* before;
  QLineEdit* after;
  QLineEdit* cookie;
  QLineEdit* ua;
  QPlainTextEdit* output;  // 测试编辑框
  QTreeWidget* results;    // 测试列表框
  // Enables the save button and the data items.
  std::function<void()> unlock;
};

class RuleTester final : public QObject {
  Q_OBJECT

 public:
  RuleTester(RuleTesterControls controls, FetchLimits limits, RenderSettings render = {},
             QObject* parent = nullptr);
  ~RuleTester() override;

  // The click on 规则测试: the two input checks, then the test.
  void Run();
  bool Running() const { return running_; }

  // Runs work on a thread of its own while both windows take no input, as the test's fetch does. False when
  // the work was abandoned (the program is ending); work is then told to stop and its results are not to be
  // used. Another test or proposal waits for this one's end.
  bool RunBlocking(const std::function<void(std::stop_token)>& work);
  // What a test found, shown as a test shows it: the region in the lower box (or the error when there is
  // none), every hit in the list, the editor unlocked where there is a hit. With announce, the message a
  // test ends with.
  void ShowResult(const RuleTestResult& result, bool announce = true);

 private:
  void Test();

  RuleTesterControls controls_;
  FetchLimits limits_;
  RenderSettings render_;
  std::stop_source stop_;
  bool running_ = false;
};

}  // namespace qw::ui
