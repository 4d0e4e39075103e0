#include "ui/options/hint_line.h"

#include <utility>

namespace qw::ui {

HintLine::HintLine(std::function<void(const QString&)> openAddress, QWidget* parent)
    : QLabel(parent), openAddress_(std::move(openAddress)) {
  setObjectName(QStringLiteral("测试提示"));
  setTextFormat(Qt::RichText);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  setOpenExternalLinks(false);
  connect(this, &QLabel::linkHovered, this, [this](const QString& link) {
    linkHovered_ = !link.isEmpty();
    Render();
  });
  connect(this, &QLabel::linkActivated, this, [this](const QString& link) {
    if (openAddress_) openAddress_(link);
  });
}

void HintLine::ShowHint(const QString& text, const QString& linkText, const QString& linkAddress) {
  text_ = text;
  linkText_ = linkText;
  linkAddress_ = linkAddress;
  linkHovered_ = false;
  Render();
}

void HintLine::Render() {
  QString html = QStringLiteral("<span style=\"color:#008000; font-size:9pt;\">") + text_.toHtmlEscaped();
  if (!linkText_.isEmpty()) {
    const QString style = linkHovered_ ? QStringLiteral("color:#0000ff; text-decoration:underline;")
                                       : QStringLiteral("color:#ff0000; text-decoration:none;");
    html += QStringLiteral("<a href=\"%1\" style=\"%2\">%3</a>")
                .arg(linkAddress_.toHtmlEscaped(), style, linkText_.toHtmlEscaped());
  }
  html += QStringLiteral("</span>");
  setText(html);
}

}  // namespace qw::ui
