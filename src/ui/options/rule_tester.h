#pragma once
// The rule tester of the scheme editor: fetches the page being set up exactly as monitoring would, shows the
// capture region, and lists every hit with all its groups so the user sees which group holds the title, the
// link and the id. A test with a hit unlocks the editor. Nothing is stored and no cookie is kept.
//
// Both windows take no input while the test runs, as the click belongs to the test until it ends; the fetch
// and the matching run on a thread of their own meanwhile, so the windows keep painting, and the fetcher's
// limits bound how long a dead server can hold them.

#include <QObject>
#include <functional>
#include <stop_token>

#include "fetch/http_fetcher.h"

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
  RuleTester(RuleTesterControls controls, FetchLimits limits, QObject* parent = nullptr);
  ~RuleTester() override;

  // The click on 规则测试: the two input checks, then the test.
  void Run();
  bool Running() const { return running_; }

 private:
  void Test();

  RuleTesterControls controls_;
  FetchLimits limits_;
  std::stop_source stop_;
  bool running_ = false;
};

}  // namespace qw::ui
