// What a user expects of a list's columns beyond their first widths: a cut cell shows its whole text as its
// tooltip, a double click on a column's edge fits the column (QTreeView's own), and the widths set by the user
// are there again at the next start.
#include "PaneColumns.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>

namespace {

// A width read back from the settings file is used only within these bounds, so that a damaged file cannot hide
// a column or push the others out of sight.
constexpr int MaxKeptWidth = 2000;

class CutTextDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            QStyleOptionViewItem item = option;
            initStyleOption(&item, index);
            const QStyle* style = view->style();
            const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
            const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
            if (item.fontMetrics.horizontalAdvance(item.text) > textRect.width() - 2 * margin) {
                QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect);
                return true;
            }
        }
        // A cell shown whole leaves the pane's own tooltip.
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};

} // namespace

PaneColumns::PaneColumns(QTreeView* pane, const QString& name, const QList<int>& defaultWidths)
    : QObject(pane)
    , m_pane(pane)
    , m_key(QStringLiteral("Columns/") + name)
    , m_settings(QStringLiteral("ShareMount"), QStringLiteral("drvmap"))
{
    pane->setItemDelegate(new CutTextDelegate(pane));
    QHeaderView* header = pane->header();
    const QList<QVariant> kept = m_settings.value(m_key).toList();
    for (int column = 0; column < defaultWidths.size(); ++column) {
        bool valid = false;
        const int width = kept.value(column).toInt(&valid);
        const bool usable = kept.size() == defaultWidths.size() && valid && width >= header->minimumSectionSize()
            && width <= MaxKeptWidth;
        header->resizeSection(column, usable ? width : defaultWidths[column]);
    }
    connect(header, &QHeaderView::sectionResized, this, &PaneColumns::keepWidths);
}

void PaneColumns::keepWidths()
{
    QList<QVariant> widths;
    for (int column = 0; column < m_pane->header()->count(); ++column)
        widths.append(m_pane->header()->sectionSize(column));
    // QSettings writes the file from the event loop and at the end, not at each step of a drag.
    m_settings.setValue(m_key, widths);
}
