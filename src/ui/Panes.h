// What the list panes of the windows share: the row their context menus and commands act on.
#pragma once

#include <QAbstractItemView>
#include <QItemSelectionModel>

// The row last clicked, when it is selected; Qt may report no current row at all.
inline bool isCurrentRowSelected(const QAbstractItemView* view)
{
    const QModelIndex current = view->currentIndex();
    return current.isValid() && view->selectionModel()->isRowSelected(current.row(), current.parent());
}
