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

// Runs act once the dialog's modal loop runs and returns what exec() gave; -1 when the dialog is not the active
// modal window, which ends it rather than leave the test waiting for a click.
int execWith(QDialog& dialog, const std::function<void()>& act)
{
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        if (QApplication::activeModalWidget() == &dialog)
            act();
        else
            dialog.done(-1);
    });
    return dialog.exec();
}

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
    void offersTheFreeLetters();
    void reportsTheChoice_data();
    void reportsTheChoice();

private:
    std::unique_ptr<QDialog> dialog(const QString& name);

    QString m_pass;
    bool m_canceled = false;
};

std::unique_ptr<QDialog> TestDialogs::dialog(const QString& name)
{
    if (name == u"frmLogin")
        return std::make_unique<frmLogin>(m_pass, m_canceled);
    return std::make_unique<frmNewLocalDrive>(QStringList({"G:", "H:"}));
}

void TestDialogs::tabs_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("prompt") << "frmLogin" << QStringList({"txtPassword", "cmdOK", "cmdCancel"});
    QTest::newRow("drive") << "frmNewLocalDrive" << QStringList({"cmbDrive", "chkAutoMap", "cmdOk", "cmdCancel"});
}

void TestDialogs::tabs()
{
    QFETCH(QString, form);
    QFETCH(QStringList, order);
    const std::unique_ptr<QDialog> window = dialog(form);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QStringList visited;
    for (qsizetype i = 0; i <= order.size(); ++i) {
        visited << focusedControl(*window);
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, order << order.first());
}

void TestDialogs::offersTheFreeLetters()
{
    frmNewLocalDrive window(QStringList({"G:", "K:"}));
    // A remote name is the user's text, never markup.
    window.CurNetResouce = QStringLiteral("\\\\server\\<b>share</b>");
    window.show();
    window.hide();
    window.show();
    QCOMPARE(window.cmbDrive->count(), 2);
    QCOMPARE(window.cmbDrive->currentText(), QString());
    QCOMPARE(window.lblNotice->textFormat(), Qt::PlainText);

    QTest::keyClicks(window.cmbDrive, QStringLiteral("g:"));
    for (const bool ticked : {true, false}) {
        QTest::mouseClick(window.chkAutoMap, Qt::LeftButton);
        QCOMPARE(window.cmbDrive->isEnabled(), !ticked);
        QCOMPARE(window.cmbDrive->currentText(), QStringLiteral("g:"));
    }
}

void TestDialogs::reportsTheChoice_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("result");
    QTest::addColumn<Choice>("choice");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<int>("beeps");

    const int accepted = QDialog::Accepted;
    const int rejected = QDialog::Rejected;
    // The list holds "G:", and a combo box would take it for the typed text.
    QTest::newRow("typed, Enter") << "g:"
                                  << "enter ok" << accepted << Choice::Drive << "g:" << 0;
    QTest::newRow("picked") << ""
                            << "down down ok" << accepted << Choice::Drive << "H:" << 0;
    QTest::newRow("Esc") << "g:"
                         << "esc" << rejected << Choice::Closed << "" << 0;
    // OK without a letter keeps the dialog open, and the close box ends it afterwards.
    QTest::newRow("nothing chosen") << ""
                                    << "ok close" << rejected << Choice::Closed << "" << 1;
}

void TestDialogs::reportsTheChoice()
{
    QFETCH(QString, typed);
    QFETCH(QString, steps);
    QFETCH(int, result);
    QFETCH(Choice, choice);
    QFETCH(QString, drive);
    QFETCH(int, beeps);

    frmNewLocalDrive window(QStringList({"G:", "H:"}));
    int beeped = 0;
    window.beep = [&beeped] { ++beeped; };
    QString focusAfterOk;
    const int answer = execWith(window, [&] {
        QTest::keyClicks(window.cmbDrive, typed);
        for (const QString& step : steps.split(u' ')) {
            if (step == u"ok") {
                QTest::mouseClick(window.cmdOk, Qt::LeftButton);
                focusAfterOk = focusedControl(window);
            } else if (step == u"close")
                window.close();
            else
                QTest::keyClick(window.cmbDrive,
                                step == u"down"        ? Qt::Key_Down
                                    : step == u"enter" ? Qt::Key_Return
                                                       : Qt::Key_Escape);
        }
    });
    QCOMPARE(answer, result);
    QCOMPARE(window.choice(), choice);
    QCOMPARE(window.chosenDrive(), drive);
    QCOMPARE(beeped, beeps);
    // The click gave the button the focus; a refused OK hands it to the list.
    if (beeps)
        QCOMPARE(focusAfterOk, QStringLiteral("cmbDrive"));
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
