#pragma once
// 自动识别 of the scheme editor: fetches the page being set up as the rule tester does (through the browser
// when 浏览器渲染 is ticked), proposes schemes for it, fills the editor with the best and shows its hits as a successful test does (unlocking the data items
// and saving); the other proposals wait in a drop-down, and picking one fills the editor with it. A page
// where no list repeats leaves every field as it was.

#include <QObject>
#include <functional>
#include <string>

#include "fetch/http_fetcher.h"
#include "propose/propose.h"
#include "render/render_session.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace qw::ui {

class RuleTester;

// The editor's fields a proposal fills, and the ones its fetch reads.
struct ProposerControls {
  QLineEdit* url;
  QCheckBox* gbk;
  QCheckBox* render;  // 浏览器渲染
  QLineEdit* cookie;
  QLineEdit* ua;
  QLineEdit* before;
  QLineEdit* after;
  QComboBox* expression;
  QLineEdit* titleIndex;
  QLineEdit* idIndex;
  QLineEdit* spareIndex;
  QLineEdit* urlTemplate;
  std::function<void(int)> setMode;
};

class SchemeProposer final : public QObject {
  Q_OBJECT

 public:
  SchemeProposer(ProposerControls controls, RuleTester& tester, FetchLimits limits, RenderSettings render,
                 QWidget* parent);

  // 自动识别 and the drop-down of proposals, for the editor to lay out.
  QPushButton* Button() const { return button_; }
  QComboBox* Candidates() const { return candidates_; }

  // The click on 自动识别.
  void Run();
  // Fills the editor with proposal i and shows its hits.
  void Pick(int i);

 private:
  void Fill(const propose::ProposedScheme& scheme);

  ProposerControls controls_;
  RuleTester& tester_;
  FetchLimits limits_;
  RenderSettings render_;
  QWidget* window_;
  QPushButton* button_;
  QComboBox* candidates_;
  std::string page_;  // the page the proposals were made from, GBK
  std::string code_;
  propose::Proposals proposals_;
};

}  // namespace qw::ui
