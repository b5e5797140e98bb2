// The log viewer's table: one row per record line, newest at the bottom,
// four columns (recipient with the outcome's icon, subject, date and time,
// "Ok" or "Failed") and the record's status text as a hidden value.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <string>
#include <vector>

class LogViewerModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kEmail, kSubject, kDateTime, kStatus, kColumnCount };
  // The record's status text, in every column.
  static constexpr int kStatusTextRole = Qt::UserRole;

  LogViewerModel(QIcon sentIcon, QIcon failedIcon, QObject* parent = nullptr);

  // Makes the rows match the lines: each line is written into the row of the
  // same position, rows are added or removed at the end. Only rows that
  // differ are reported as changed, so a view repaints what it must.
  void Refresh(const std::vector<std::string>& lines);
  void Clear();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    bool sent = false;
    QString recipient;
    QString subject;
    QString dateTime;
    QString status;
    bool operator==(const Row&) const = default;
  };
  static Row RowOf(const std::string& line);

  QIcon sentIcon_;
  QIcon failedIcon_;
  std::vector<Row> rows_;
};
