// The password prompt and the drive-in-use dialog on their own: tab order, keys, and what the main window's tests
// of a connect do not reach.
#include "ui/main/frmLogin.h"
#include "ui/main/frmNewLocalDrive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Choice = frmNewLocalDrive::Choice;

namespace {

// The dialog's control that has its focus, also when the focus sits inside it (a combo box's edit). A dialog
// under exec() need not be the active window yet, so its own focus widget counts.
QString focusedControl(const QDialog& dialog)
{
    QWidget* widget = dialog.focusWidget();
    while (widget && widget->parentWidget() != &dialog)
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void tabs_data();
    void tabs();
    void reportsTheChoice_data();
    void reportsTheChoice();
};

void TestDialogs::tabs_data()
{
    QTest::addColumn<bool>("prompt");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("prompt") << true << QStringList({"txtPassword", "cmdOK", "cmdCancel"});
    QTest::newRow("drive") << false << QStringList({"cmbDrive", "chkAutoMap", "cmdOk", "cmdCancel"});
}

void TestDialogs::tabs()
{
    QFETCH(bool, prompt);
    QFETCH(QStringList, order);
    QString password;
    bool cancelled = false;
    frmLogin login(password, cancelled);
    frmNewLocalDrive drive(QStringList({"G:", "H:"}));
    QDialog& window = prompt ? static_cast<QDialog&>(login) : drive;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList visited;
    for (qsizetype i = 0; i <= order.size(); ++i) {
        visited << focusedControl(window);
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, order << order.first());
}

void TestDialogs::reportsTheChoice_data()
{
    // "ok" and "automap" are clicks, "down", "enter" and "esc" keys; the rest is typed.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<Choice>("choice");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<int>("beeps");

    // The list holds "G:", and a combo box would take it for the typed text.
    QTest::newRow("typed, Enter") << QStringList({"g:", "enter", "ok"}) << Choice::Drive << "g:" << 0;
    QTest::newRow("picked") << QStringList({"down", "down", "ok"}) << Choice::Drive << "H:" << 0;
    // Nothing is chosen for the user: OK without a letter keeps the dialog open. Esc ends it, choosing nothing.
    QTest::newRow("nothing chosen, then Esc") << QStringList({"ok", "esc"}) << Choice::Closed << "" << 1;
    // Auto Map takes the list out of use while ticked, and gives it back with its text.
    QTest::newRow("Auto Map on and off") << QStringList({"g:", "automap", "h", "automap", "ok"}) << Choice::Drive
                                         << "g:" << 0;
}

void TestDialogs::reportsTheChoice()
{
    QFETCH(QStringList, steps);
    QFETCH(Choice, choice);
    QFETCH(QString, drive);
    QFETCH(int, beeps);

    frmNewLocalDrive window(QStringList({"G:", "H:"}));
    // A remote name is the user's text, never markup.
    window.CurNetResouce = QStringLiteral("\\\\server\\<b>share</b>");
    QCOMPARE(window.lblNotice->textFormat(), Qt::PlainText);
    // Shown again, the dialog lists the letters once.
    window.show();
    window.hide();
    int beeped = 0;
    window.beep = [&beeped] { ++beeped; };
    QString focusAfterOk;
    qsizetype listed = 0;
    const QMap<QString, Qt::Key> keys {{"down", Qt::Key_Down}, {"enter", Qt::Key_Return}, {"esc", Qt::Key_Escape}};
    // Answered once the modal loop runs; a dialog that is not the active modal window is ended with -1 rather than
    // leave the test waiting for a click.
    QTimer::singleShot(0, &window, [&] {
        if (QApplication::activeModalWidget() != &window)
            return window.done(-1);
        listed = window.cmbDrive->count();
        for (const QString& step : std::as_const(steps)) {
            if (step == u"ok") {
                QTest::mouseClick(window.cmdOk, Qt::LeftButton);
                focusAfterOk = focusedControl(window);
            } else if (step == u"automap") {
                QTest::mouseClick(window.chkAutoMap, Qt::LeftButton);
            } else if (keys.contains(step)) {
                QTest::keyClick(window.cmbDrive, keys[step]);
            } else {
                QTest::keyClicks(window.cmbDrive, step);
            }
        }
    });
    QVERIFY(window.exec() != -1);
    QCOMPARE(window.choice(), choice);
    QCOMPARE(window.chosenDrive(), drive);
    QCOMPARE(beeped, beeps);
    QCOMPARE(listed, 2);
    // The click gave the button the focus; a refused OK hands it to the list.
    if (beeps)
        QCOMPARE(focusAfterOk, QStringLiteral("cmbDrive"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
