// The notification-area icon in a real tray, run by tests/with_tray_host: a private X server whose tray host embeds
// the icon, which is pointed at and clicked for real through xdotool.
#include "support/FakeWnet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/main/frmMain.h"

#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void clicksTheIcon();
};

namespace {

// Moves the pointer to position and presses and releases button there, as a user would; none only points. The
// events are taken in between: a menu acts on a release over the item that the pointer made current.
bool pointer(QPoint position, const char* button = nullptr)
{
    const auto xdotool
        = [](const QStringList& arguments) { return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0; };
    if (!xdotool({QStringLiteral("mousemove"), QString::number(position.x()), QString::number(position.y())}))
        return false;
    QTest::qWait(100);
    return !button || xdotool({QStringLiteral("click"), QLatin1String(button)});
}

} // namespace

void TestTray::clicksTheIcon()
{
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    QTemporaryDir data;
    QVERIFY(SlotBytes::writeFile(data.filePath(QStringLiteral("drvmap.dat")),
                                 SlotBytes::saved("Office", "\\\\server\\share", 1)));
    ScriptedMessageBoxes messages;
    FakeWnet wnet;
    frmMain w({messages, wnet, data.path()}, {QStringLiteral("-auto")});
    QCOMPARE(w.Form_Load(), frmMain::Startup::Running);
    // The batch goes on holding the window's input.
    w.Timer->stop();

    // Started unattended: no window, but the icon is in the tray.
    auto* icon = w.findChild<QSystemTrayIcon*>();
    QTRY_VERIFY_WITH_TIMEOUT(!icon->geometry().isEmpty(), 10000);
    const QPoint centre = icon->geometry().center();
    QVERIFY(!w.isVisible());

    // Pointing at it shows its tip; a left click shows the window.
    QVERIFY(pointer(centre));
    QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), QStringLiteral("sharemount"), 5000);
    QVERIFY(pointer(centre, "1"));
    QTRY_VERIFY(w.isVisible());

    // A right click opens its menu while the window is hidden; its Exit ends the program and takes the icon away,
    // also while the batch holds the window.
    w.hide();
    QVERIFY(pointer(centre, "3"));
    QTRY_VERIFY(w.mPopupSys->isVisible());
    QVERIFY(!w.isVisible());
    QSignalSpy endings(&w, &frmMain::ended);
    QVERIFY(pointer(w.mPopupSys->mapToGlobal(w.mPopupSys->actionGeometry(w.mPopExit).center()), "1"));
    QTRY_COMPARE(endings.size(), 1);
    QVERIFY(!icon->isVisible());
    QCOMPARE(messages.unexpected, 0);
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
