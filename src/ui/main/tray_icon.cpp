#include "ui/main/tray_icon.h"

#include <QSystemTrayIcon>
#include <utility>

#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

constexpr std::size_t kTooltipBytes = 62;

}  // namespace

TrayAvailability SystemTrayAvailability() {
  return [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
}

QString TrayTooltip(const QString& tip) {
  const std::string gbk = ToGbk(tip);
  std::size_t end = 0;
  while (end < gbk.size()) {
    const std::size_t step = static_cast<unsigned char>(gbk[end]) >= 0x80 && end + 1 < gbk.size() ? 2 : 1;
    if (end + step > kTooltipBytes) break;
    end += step;
  }
  return FromGbk(std::string_view(gbk).substr(0, end));
}

TrayIcon::TrayIcon(TrayAvailability availability, QObject* parent)
    : QObject(parent), availability_(std::move(availability)) {}

TrayIcon::~TrayIcon() { Remove(); }

void TrayIcon::SetTrayIcon(const QIcon& icon, const QString& tip) {
  if (!icon_) {
    icon_ = std::make_unique<QSystemTrayIcon>();
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      switch (reason) {
        case QSystemTrayIcon::Trigger:
          emit leftClicked();
          break;
        case QSystemTrayIcon::DoubleClick:
          emit doubleClicked();
          break;
        case QSystemTrayIcon::Context:
          emit menuRequested();
          break;
        default:
          break;  // The middle button and anything else are ignored.
      }
    });
    connect(icon_.get(), &QSystemTrayIcon::messageClicked, this, &TrayIcon::messageClicked);
  }
  icon_->setIcon(icon);
  icon_->setToolTip(TrayTooltip(tip));
  icon_->show();
}

void TrayIcon::Remove() {
  if (icon_) {
    icon_->hide();
    icon_.reset();
  }
}

bool TrayIcon::Available() const { return availability_ && availability_(); }

bool TrayIcon::Shown() const { return icon_ != nullptr && icon_->isVisible(); }

QString TrayIcon::Tooltip() const { return icon_ ? icon_->toolTip() : QString(); }

void TrayIcon::ShowMessage(const QString& caption, const QString& body) {
  if (!Shown()) return;
  lastMessage_ = caption + QLatin1Char('\n') + body;
  icon_->showMessage(caption, body, QSystemTrayIcon::Information);
}

}  // namespace qw::ui
