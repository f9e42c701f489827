// The notification-area icon in a real tray, run by tests/with_tray_host: a private X server whose tray host embeds
// the icon, which is pointed at and clicked for real through xdotool.
#include "support/MainWindowTest.h"

#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QToolTip>

class TestTray : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init() { setUpRecords(); }
    void cleanup() { tearDown(); }
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
    // The batch goes on holding the window's input.
    frmMain& w = start({QStringLiteral("-auto")});

    // Started unattended: no window, but the icon is in the tray. Pointing at it shows its tip; until the tray has
    // embedded it, the icon is elsewhere, so the pointer follows it.
    auto* icon = w.findChild<QSystemTrayIcon*>();
    QVERIFY(!w.isVisible());
    const auto centre = [icon] { return icon->geometry().center(); };
    QVERIFY(QTest::qWaitFor(
        [&] { return pointer(centre()) && QTest::qWaitFor([] { return QToolTip::text() == u"sharemount"; }, 2000); },
        20000));
    // A left click shows the window.
    QVERIFY(pointer(centre(), "1"));
    QTRY_VERIFY(w.isVisible());

    // A right click opens its menu while the window is hidden; its Exit ends the program and takes the icon away,
    // also while the batch holds the window.
    w.hide();
    QVERIFY(pointer(centre(), "3"));
    QTRY_VERIFY(w.mPopupSys->isVisible());
    QVERIFY(!w.isVisible());
    QSignalSpy endings(&w, &frmMain::ended);
    QVERIFY(pointer(w.mPopupSys->mapToGlobal(w.mPopupSys->actionGeometry(w.mPopExit).center()), "1"));
    QTRY_COMPARE(endings.size(), 1);
    QVERIFY(!icon->isVisible());
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
