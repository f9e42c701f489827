// The main window through the fake layer and scripted message boxes, on three records with two drives connected,
// and the ways its tests reach into it.
#pragma once

#include "support/FakeWnet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <functional>
#include <memory>

class MainWindowTest : public QObject
{
protected:
    // A folder of the test's own, and no drives.
    void setUp()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_folder = m_dir->path();
        m_messages.reset();
        m_wnet = FakeWnet();
    }

    // Office on G: (auto-connect), Home on M: and Projects 2026 on P:; F: and H: are connected.
    void setUpRecords()
    {
        setUp();
        QVERIFY(SlotBytes::writeFile(
            dataFile(),
            SlotBytes::saved("Office", "\\\\server\\share", 1, 'T', 'F', "G:")
                + SlotBytes::saved("Home", "\\\\nas\\media", 2, 'F', 'F', "M:")
                + SlotBytes::saved("Projects 2026", "\\\\fileserver\\projects", 3, 'F', 'F', "P:")));
        m_wnet.setLetter(u'F', {FakeWnet::Drive::Network, QStringLiteral("\\\\srv\\a")});
        m_wnet.setLetter(u'H', {FakeWnet::Drive::Network, QStringLiteral("\\\\srv\\b")});
    }

    void tearDown()
    {
        m_window.reset();
        QCOMPARE(m_messages.unexpected, 0);
    }

    // tray: whether the desktop shows the notification-area icon.
    frmMain& create(QStringList arguments = {}, FileManager* files = nullptr, bool tray = true)
    {
        frmMain::Services services {m_messages, m_wnet, m_folder, nullptr, files};
        services.trayAvailable = tray ? [] { return true; } : [] { return false; };
        m_window = std::make_unique<frmMain>(services, std::move(arguments));
        return *m_window;
    }

    // The tests tick the batch themselves.
    frmMain& start(QStringList arguments = {}, FileManager* files = nullptr, bool tray = true)
    {
        create(std::move(arguments), files, tray).Form_Load();
        m_window->Timer->stop();
        if (m_window->isVisible()) {
            m_window->activateWindow();
            [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(m_window.get());
        }
        return *m_window;
    }

    // Runs command and closes the modal window it opens, also one that opens once the command has returned: the
    // window's name, then "|" and what describe reads from it; empty when none opened.
    QString whileModal(const std::function<void()>& command, const std::function<QString(QWidget*)>& describe = {},
                       bool opensLater = false)
    {
        QString seen;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || !seen.isEmpty())
                return;
            seen = modal->objectName() + u'|' + (describe ? describe(modal) : QString());
            modal->close();
        });
        watcher.start(5);
        command();
        if (opensLater) {
            [[maybe_unused]] const bool opened = QTest::qWaitFor([&seen] { return !seen.isEmpty(); }, 2000);
        }
        return seen;
    }

    QString dataFile() const { return m_folder + QStringLiteral("/drvmap.dat"); }

    // The adds, by drive.
    QStringList adds() const
    {
        QStringList drives;
        for (const FakeWnet::Call& call : m_wnet.calls) {
            if (call.operation == u"add")
                drives << call.localName;
        }
        return drives;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder; // of the record file
    ScriptedMessageBoxes m_messages;
    FakeWnet m_wnet;
    std::unique_ptr<frmMain> m_window;
};

// Selects the rows in turn: the last one is the current row.
inline void select(QAbstractItemView* pane, const QList<int>& rows)
{
    pane->selectionModel()->clear();
    for (const int row : rows)
        pane->selectionModel()->setCurrentIndex(pane->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Clicks a toolbar's key, named as its action is.
inline void click(QToolBar* toolbar, const char* key)
{
    QTest::mouseClick(toolbar->widgetForAction(toolbar->findChild<QAction*>(QLatin1String(key))), Qt::LeftButton);
}
