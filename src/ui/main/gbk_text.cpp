#include "ui/main/gbk_text.h"

#include <QByteArray>
#include <QTreeWidgetItem>

#include "text/encoding.h"

namespace qw::ui {
namespace {

constexpr int kStoredRole = Qt::UserRole;

}  // namespace

QString FromGbk(std::string_view gbk) {
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToGbk(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void SetStoredCell(QTreeWidgetItem& item, int column, const std::string& gbk) {
  item.setText(column, FromGbk(gbk));
  item.setData(column, kStoredRole, QByteArray::fromStdString(gbk));
}

std::string StoredCell(const QTreeWidgetItem& item, int column) {
  return item.data(column, kStoredRole).toByteArray().toStdString();
}

}  // namespace qw::ui
