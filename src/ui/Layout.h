// The windows keep fixed layouts, drawn in twips for a small sans-serif face.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QToolBar>
#include <QWidget>

// 15 twips make a pixel at 96 dpi; Qt scales those pixels with the screen.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

// Texts must fit the fixed layouts: an 8-point face with Arial's metrics where there is one.
inline QFont layoutFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSize(8);
    return font;
}

// One of the program's SVG images, by its file name without the extension.
inline QIcon artwork(const char* name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

// What every window of the program starts with: its name, caption, icon and the face of the fixed layouts.
inline void setUpWindow(QWidget* window, const char* name, const QString& caption)
{
    window->setObjectName(QLatin1String(name));
    window->setWindowTitle(caption);
    window->setWindowIcon(artwork("app"));
    window->setFont(layoutFont());
}

// A small dialog of a fixed size, with a close box and no other buttons in its title bar.
inline void setUpFixedDialog(QWidget* dialog, const char* name, const QString& caption, QSize sizeInTwips)
{
    setUpWindow(dialog, name, caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(twips(sizeInTwips.width()), twips(sizeInTwips.height()));
}

// Names a control, puts it at its place and gives it its tooltip.
template <typename Widget>
Widget* place(Widget* widget, const char* name, QRect geometry, const QString& toolTip = {})
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    widget->setToolTip(toolTip);
    return widget;
}

// A toolbar across the top of a fixed layout.
inline QToolBar* placeToolbar(QWidget* parent, const char* name)
{
    auto* toolbar = place(new QToolBar(parent), name, QRect(0, 0, parent->width(), twips(420)));
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    return toolbar;
}

// A toolbar button that shows only its icon and is known by its key, as the toolbar's handler reads it.
inline void addKeyedButton(QToolBar* toolbar, const char* key, const char* image, const QString& toolTip)
{
    QAction* action = toolbar->addAction(artwork(image), QString());
    action->setObjectName(QLatin1String(key));
    action->setData(QLatin1String(key));
    action->setToolTip(toolTip);
}
