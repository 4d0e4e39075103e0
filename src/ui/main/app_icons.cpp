#include "ui/main/app_icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>
#include <functional>

namespace qw::ui {
namespace {

const QColor kBlue(0x1f, 0x6f, 0xd6);
const QColor kDeepBlue(0x13, 0x4a, 0x9c);
const QColor kOrange(0xf5, 0x8a, 0x1f);
const QColor kInk(0x44, 0x4c, 0x58);

using Painting = std::function<void(QPainter&, qreal size)>;

QPixmap Draw(int width, int height, const Painting& paint) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  paint(painter, height);
  return pixmap;
}

QIcon SquareIcon(const Painting& paint, std::initializer_list<int> sizes = {16, 24, 32}) {
  QIcon icon;
  for (int size : sizes) icon.addPixmap(Draw(size, size, paint));
  return icon;
}

// A rounded blue tile with an article list and a magnifying ring whose handle ends in an orange dot: pages
// watched for new lines.
void PaintProgram(QPainter& p, qreal s) {
  QLinearGradient tile(0, 0, 0, s);
  tile.setColorAt(0, kBlue);
  tile.setColorAt(1, kDeepBlue);
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
  p.setBrush(Qt::white);
  for (int i = 0; i < 3; ++i) {
    p.drawRoundedRect(QRectF(s * 0.16, s * (0.22 + 0.16 * i), s * (i == 1 ? 0.38 : 0.5), s * 0.08), s * 0.04,
                      s * 0.04);
  }
  QPen ring(Qt::white, s * 0.09);
  p.setPen(ring);
  p.setBrush(Qt::NoBrush);
  const QPointF centre(s * 0.58, s * 0.6);
  p.drawEllipse(centre, s * 0.17, s * 0.17);
  ring.setCapStyle(Qt::RoundCap);
  ring.setWidthF(s * 0.11);
  p.setPen(ring);
  p.drawLine(centre + QPointF(s * 0.13, s * 0.13), QPointF(s * 0.84, s * 0.86));
  p.setPen(Qt::NoPen);
  p.setBrush(kOrange);
  p.drawEllipse(QPointF(s * 0.8, s * 0.2), s * 0.11, s * 0.11);
}

void PaintFolder(QPainter& p, qreal s) {
  p.setPen(QPen(QColor(0xc0, 0x8a, 0x10), 1));
  p.setBrush(QColor(0xf6, 0xc3, 0x4a));
  QPainterPath path;
  path.moveTo(s * 0.06, s * 0.22);
  path.lineTo(s * 0.4, s * 0.22);
  path.lineTo(s * 0.5, s * 0.34);
  path.lineTo(s * 0.94, s * 0.34);
  path.lineTo(s * 0.94, s * 0.84);
  path.lineTo(s * 0.06, s * 0.84);
  path.closeSubpath();
  p.drawPath(path);
}

void PaintPage(QPainter& p, qreal s) {
  p.setPen(QPen(QColor(0x7a, 0x86, 0x96), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(s * 0.18, s * 0.08, s * 0.64, s * 0.84));
  p.setPen(QPen(kBlue, qMax<qreal>(1, s * 0.08)));
  for (int i = 0; i < 3; ++i)
    p.drawLine(QPointF(s * 0.3, s * (0.32 + 0.2 * i)), QPointF(s * 0.7, s * (0.32 + 0.2 * i)));
}

// The page with an orange-red warning triangle over its lower right corner.
void PaintFailingPage(QPainter& p, qreal s) {
  PaintPage(p, s);
  QPolygonF triangle;
  triangle << QPointF(s * 0.7, s * 0.36) << QPointF(s * 1.0, s * 0.96) << QPointF(s * 0.4, s * 0.96);
  p.setPen(QPen(Qt::white, qMax<qreal>(1, s * 0.05)));
  p.setBrush(QColor(0xe8, 0x4a, 0x1a));
  p.drawPolygon(triangle);
  p.setPen(QPen(Qt::white, qMax<qreal>(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(s * 0.7, s * 0.56), QPointF(s * 0.7, s * 0.76));
  p.drawPoint(QPointF(s * 0.7, s * 0.87));
}

void PaintList(QPainter& p, qreal s) {
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(s * 0.16, s * (0.25 + 0.25 * i)), s * 0.08, s * 0.08);
    p.setBrush(kInk);
    p.drawRect(QRectF(s * 0.32, s * (0.2 + 0.25 * i), s * 0.6, s * 0.1));
  }
}

void PaintStar(QPainter& p, qreal s) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const qreal radius = (i % 2 == 0 ? 0.46 : 0.2) * s;
    const qreal angle = M_PI / 5 * i - M_PI / 2;
    star << QPointF(s / 2 + radius * qCos(angle), s * 0.53 + radius * qSin(angle));
  }
  p.setPen(QPen(QColor(0xc7, 0x7c, 0x02), 1));
  p.setBrush(QColor(0xfb, 0xbf, 0x24));
  p.drawPolygon(star);
}

void PaintGear(QPainter& p, qreal s) {
  const QPointF centre(s / 2, s / 2);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(centre);
    p.rotate(45.0 * i);
    p.drawRect(QRectF(-s * 0.09, -s * 0.47, s * 0.18, s * 0.2));
    p.restore();
  }
  p.drawEllipse(centre, s * 0.32, s * 0.32);
  p.setBrush(Qt::white);
  p.drawEllipse(centre, s * 0.13, s * 0.13);
}

void PaintCollect(QPainter& p, qreal s) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x16, 0x9b, 0x62));
  QPolygonF arrow;
  arrow << QPointF(s * 0.38, s * 0.06) << QPointF(s * 0.62, s * 0.06) << QPointF(s * 0.62, s * 0.42)
        << QPointF(s * 0.84, s * 0.42) << QPointF(s * 0.5, s * 0.76) << QPointF(s * 0.16, s * 0.42)
        << QPointF(s * 0.38, s * 0.42);
  p.drawPolygon(arrow);
  p.setBrush(kInk);
  p.drawRect(QRectF(s * 0.1, s * 0.84, s * 0.8, s * 0.1));
}

// A red-orange bell on a light disc: something new has come.
void PaintAlert(QPainter& p, qreal s) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xff, 0xf1, 0xe0));
  p.drawEllipse(QRectF(0, 0, s, s));
  QPainterPath bell;
  bell.moveTo(s * 0.2, s * 0.72);
  bell.cubicTo(s * 0.3, s * 0.62, s * 0.26, s * 0.2, s * 0.5, s * 0.18);
  bell.cubicTo(s * 0.74, s * 0.2, s * 0.7, s * 0.62, s * 0.8, s * 0.72);
  bell.closeSubpath();
  p.setBrush(QColor(0xe8, 0x4a, 0x1a));
  p.drawPath(bell);
  p.drawEllipse(QPointF(s * 0.5, s * 0.8), s * 0.1, s * 0.1);
}

// A sliding switch: green with the knob right when on, grey with the knob left when off.
QPixmap SwitchFace(bool on) {
  return Draw(34, 18, [on](QPainter& p, qreal h) {
    const qreal w = 34;
    p.setPen(Qt::NoPen);
    p.setBrush(on ? QColor(0x2e, 0xb8, 0x5c) : QColor(0xb4, 0xb9, 0xc1));
    p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), (h - 2) / 2, (h - 2) / 2);
    p.setBrush(Qt::white);
    const qreal knob = h - 6;
    p.drawEllipse(QRectF(on ? w - 3 - knob : 3, 3, knob, knob));
  });
}

}  // namespace

QIcon NormalIcon() { return SquareIcon(PaintProgram, {16, 22, 24, 32, 48, 64, 128, 256}); }

QIcon AlertIcon() { return SquareIcon(PaintAlert, {16}); }

QIcon CategoryIcon() { return SquareIcon(PaintFolder); }
QIcon SchemeIcon() { return SquareIcon(PaintPage); }
QIcon FailingSchemeIcon() { return SquareIcon(PaintFailingPage); }
QIcon AllArticlesIcon() { return SquareIcon(PaintList); }
QIcon FavouritesIcon() { return SquareIcon(PaintStar); }
QIcon SettingsIcon() { return SquareIcon(PaintGear); }
QIcon CollectAllIcon() { return SquareIcon(PaintCollect); }

QIcon SwitchIcon() {
  QIcon icon;
  icon.addPixmap(SwitchFace(true), QIcon::Normal, QIcon::On);
  icon.addPixmap(SwitchFace(false), QIcon::Normal, QIcon::Off);
  return icon;
}

}  // namespace qw::ui
