// The rows of the Records pane. A model rather than items: the pane may hold 32,767 rows.
#pragma once

#include "records/RecordList.h"

#include <QAbstractTableModel>
#include <QIcon>

class RecordsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The row's key, "Key" and its slot number.
    static constexpr int KeyRole = Qt::UserRole;

    explicit RecordsModel(QIcon rowIcon, QObject* parent = nullptr);

    void setRows(QList<RecordRow> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Rows are dragged onto the Connected Drives pane, which connects the selection and never reads the data: a
    // drag carries nothing for other programs.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    QList<RecordRow> m_rows;
    QIcon m_rowIcon;
};
