// What a user expects of a list's columns beyond their first widths: a cut cell shows its whole text as its
// tooltip, a double click on a column's edge fits the column (QTreeView's own), and the widths set by the user
// are there again at the next start.
#pragma once

#include <QObject>
#include <QSettings>

class QTreeView;

class PaneColumns : public QObject
{
public:
    // Starts the pane's columns at the widths kept under name, or at defaultWidths (pixels).
    PaneColumns(QTreeView* pane, const QString& name, const QList<int>& defaultWidths);

private:
    void keepWidths();

    QTreeView* m_pane;
    QString m_key;
    QSettings m_settings;
};
