// The rows of the Records pane. A model rather than items: the pane may hold 32,767 rows.
#include "RecordsModel.h"

#include <QMimeData>

namespace {

enum Column { Name, NetResource, Drv, AC, ColumnCount };

} // namespace

RecordsModel::RecordsModel(QIcon rowIcon, QObject* parent)
    : QAbstractTableModel(parent)
    , m_rowIcon(std::move(rowIcon))
{ }

void RecordsModel::setRows(QList<RecordRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int RecordsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RecordsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const RecordRow& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return row.name;
        case NetResource:
            return row.remoteName;
        case Drv:
            return row.drive;
        case AC:
            return row.autoConnect;
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == Name)
            return m_rowIcon;
        break;
    case KeyRole:
        return recordKey(row.slot);
    }
    return {};
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case NetResource:
        return QStringLiteral("NetResource");
    case Drv:
        return QStringLiteral("Drv");
    case AC:
        return QStringLiteral("AC");
    }
    return {};
}

Qt::ItemFlags RecordsModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

QMimeData* RecordsModel::mimeData(const QModelIndexList&) const
{
    return new QMimeData;
}
