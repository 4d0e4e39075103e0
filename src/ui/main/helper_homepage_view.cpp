#include "ui/main/helper_homepage_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QTextBrowser>
#include <QWidget>

#include "ui/main/quick_start.h"

namespace qw::ui {
namespace {

constexpr const char* kHelperName = "quillwatch-homepage";

// Beside the program, and nowhere else: a program copied without it shows the quick start.
QString HelperPath() {
  const QFileInfo helper(QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kHelperName)));
  return helper.isFile() && helper.isExecutable() ? helper.filePath() : QString();
}

// Desktops where a window of another program can live inside one of ours.
bool CanEmbed() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform == QLatin1String("windows");
}

class HelperHomepageView final : public QObject, public HomepageView {
 public:
  explicit HelperHomepageView(QWidget* parent) : frame_(new QWidget(parent)) {
    frame_->setAutoFillBackground(true);
    QPalette white = frame_->palette();
    white.setColor(QPalette::Window, Qt::white);
    frame_->setPalette(white);
    frame_->installEventFilter(this);
  }

  ~HelperHomepageView() override {
    EndHelper();
    delete frame_.data();
  }

  QWidget* Widget() override { return frame_; }

  void Load(const QUrl& url) override {
    url_ = url;
    EndHelper();
    const QString helper = HelperPath();
    if (!CanEmbed() || helper.isEmpty()) {
      ShowQuickStart();
      return;
    }
    if (quickStart_ != nullptr) quickStart_->hide();
    process_ = new QProcess(this);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A helper that cannot start, or ends on its own, leaves the quick start in its place.
    connect(process_, &QProcess::finished, this, [this] { ShowQuickStart(); });
    // The window may have changed its size while the helper was starting.
    connect(process_, &QProcess::started, this, [this] { SendSize(); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) ShowQuickStart();
    });
    process_->start(helper, {QString::fromLatin1(url.toEncoded()), QString::number(frame_->winId()),
                             QString::number(frame_->width()), QString::number(frame_->height())});
  }

  QUrl Url() const override { return url_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == frame_ && event->type() == QEvent::Resize) {
      if (quickStart_ != nullptr) quickStart_->setGeometry(frame_->rect());
      SendSize();
    }
    return false;
  }

 private:
  void SendSize() {
    if (process_ == nullptr || process_->state() != QProcess::Running) return;
    process_->write(QStringLiteral("size %1 %2\n").arg(frame_->width()).arg(frame_->height()).toLatin1());
  }

  void EndHelper() {
    if (process_ == nullptr) return;
    process_->disconnect(this);
    process_->kill();
    process_->waitForFinished(500);
    delete process_;
    process_ = nullptr;
  }

  void ShowQuickStart() {
    if (frame_ == nullptr) return;
    if (quickStart_ == nullptr) {
      quickStart_ = new QTextBrowser(frame_);
      quickStart_->setFrameShape(QFrame::NoFrame);
      quickStart_->setHtml(QuickStartPage());
    }
    quickStart_->setGeometry(frame_->rect());
    quickStart_->show();
  }

  QPointer<QWidget> frame_;
  QTextBrowser* quickStart_ = nullptr;
  QProcess* process_ = nullptr;
  QUrl url_;
};

}  // namespace

HomepageViewFactory HelperProcessHomepageViews() {
  return [](QWidget* parent) -> std::unique_ptr<HomepageView> {
    return std::make_unique<HelperHomepageView>(parent);
  };
}

}  // namespace qw::ui
