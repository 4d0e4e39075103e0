#pragma once
// The helper's side of the protocol: jobs read from the program line by line, at most two pages rendering at
// once and the rest waiting in order, each answer written as one line when its page is done. The end of the
// input ends the helper.

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <string>

#include "render/render_protocol.h"

namespace qw::browser {

class PageRender;

// Pages rendering at once; the program never asks for more, and further jobs wait their turn.
inline constexpr int kPagesAtOnce = 2;

class RenderServer final : public QObject {
  Q_OBJECT

 public:
  // Reads jobs from input and writes answers to output, both file descriptors the server does not own.
  RenderServer(int input, int output, QObject* parent = nullptr);

 private:
  void ReadInput();
  void StartWaiting();
  void Answer(PageRender* page, const RenderAnswer& answer);
  void WriteLine(const std::string& line);

  int input_;
  int output_;
  QSocketNotifier notifier_;
  std::string pending_;
  std::deque<RenderJob> waiting_;
  int rendering_ = 0;
};

}  // namespace qw::browser
