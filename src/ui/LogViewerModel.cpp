#include "ui/LogViewerModel.h"

#include <algorithm>

#include "log/LogRecordFields.h"

namespace {

QString Text(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

LogViewerModel::LogViewerModel(QIcon sentIcon, QIcon failedIcon, QObject* parent)
    : QAbstractTableModel(parent), sentIcon_(std::move(sentIcon)), failedIcon_(std::move(failedIcon)) {}

LogViewerModel::Row LogViewerModel::RowOf(const std::string& line) {
  const LogRecordFields fields = ParseLogRecord(line);
  return Row{fields.Sent(), Text(fields.Recipient), Text(fields.Subject), Text(fields.DateTime),
             Text(fields.Status)};
}

void LogViewerModel::Refresh(const std::vector<std::string>& lines) {
  const std::size_t common = std::min(rows_.size(), lines.size());
  std::size_t firstChanged = common;
  std::size_t lastChanged = 0;
  for (std::size_t i = 0; i < common; ++i) {
    Row row = RowOf(lines[i]);
    if (row == rows_[i]) continue;
    rows_[i] = std::move(row);
    firstChanged = std::min(firstChanged, i);
    lastChanged = i;
  }
  if (firstChanged < common) {
    emit dataChanged(index(static_cast<int>(firstChanged), 0),
                     index(static_cast<int>(lastChanged), kColumnCount - 1));
  }
  if (lines.size() > rows_.size()) {
    beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(lines.size()) - 1);
    rows_.reserve(lines.size());
    for (std::size_t i = rows_.size(); i < lines.size(); ++i) rows_.push_back(RowOf(lines[i]));
    endInsertRows();
  } else if (lines.size() < rows_.size()) {
    beginRemoveRows({}, static_cast<int>(lines.size()), static_cast<int>(rows_.size()) - 1);
    rows_.resize(lines.size());
    endRemoveRows();
  }
}

void LogViewerModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int LogViewerModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogViewerModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant LogViewerModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == kStatusTextRole) return row.status;
  if (role == Qt::DecorationRole && index.column() == kEmail) return row.sent ? sentIcon_ : failedIcon_;
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case kEmail:
      return row.recipient;
    case kSubject:
      return row.subject;
    case kDateTime:
      return row.dateTime;
    case kStatus:
      return row.sent ? QStringLiteral("Ok") : QStringLiteral("Failed");
  }
  return {};
}

QVariant LogViewerModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[] = {"Email", "Subject", "Date & Time", "Status"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(kHeaders[section]) : QVariant();
}
