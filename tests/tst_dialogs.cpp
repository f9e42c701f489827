// The password prompt and the drive-in-use dialog on their own: layout, keys, and what the main window's tests
// of a connect do not reach.
#include "ui/Layout.h"
#include "ui/main/frmLogin.h"
#include "ui/main/frmNewLocalDrive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
    void hasTheLayout_data();
    void hasTheLayout();
    void tabs_data();
    void tabs();
    void promptReportsBack_data();
    void promptReportsBack();
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

void TestDialogs::hasTheLayout_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    const QString autoMapTip
        = QStringLiteral("Set this ONLY if you want ShareMount to use the first available drive letter");
    const auto row
        = [](const char* form, const char* control, QRect place, const char* text, const QString& toolTip = {}) {
              QTest::addRow("%s.%s", form, control) << form << control << place << text << toolTip;
          };
    row("frmLogin", "", twipsRect(0, 0, 4110, 1215), "Login");
    row("frmLogin", "lblLabels", twipsRect(120, 0, 720, 225), "&Password:");
    row("frmLogin", "txtPassword", twipsRect(120, 240, 3885, 345), "");
    row("frmLogin", "cmdOK", twipsRect(840, 720, 1065, 375), "&OK");
    row("frmLogin", "cmdCancel", twipsRect(2280, 720, 1065, 375), "&Cancel");
    row("frmNewLocalDrive", "", twipsRect(0, 0, 3480, 2175), "Local Drive In Use");
    row("frmNewLocalDrive", "lblNotice", twipsRect(120, 120, 3225, 795), "");
    row("frmNewLocalDrive", "cmbDrive", twipsRect(1800, 1080, 615, 315), "",
        QStringLiteral("Select drive letter to map network path"));
    row("frmNewLocalDrive", "Label6", twipsRect(2520, 1200, 855, 255), "Drive Letter");
    row("frmNewLocalDrive", "chkAutoMap", twipsRect(120, 1200, 255, 255), "", autoMapTip);
    row("frmNewLocalDrive", "Label5", twipsRect(360, 1200, 1215, 255), " Auto Map Drive", autoMapTip);
    row("frmNewLocalDrive", "cmdOk", twipsRect(360, 1680, 1095, 375), "OK");
    row("frmNewLocalDrive", "cmdCancel", twipsRect(1920, 1680, 1095, 375), "Cancel");
}

void TestDialogs::hasTheLayout()
{
    QFETCH(QString, form);
    QFETCH(QString, control);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    const std::unique_ptr<QDialog> window = dialog(form);
    QCOMPARE(window->objectName(), form);
    QWidget* widget = control.isEmpty() ? window.get() : window->findChild<QWidget*>(control);
    QVERIFY(widget);
    if (widget->isWindow()) {
        QCOMPARE(widget->rect(), place);
        QCOMPARE(widget->minimumSize(), widget->maximumSize());
        QCOMPARE(widget->windowTitle(), text);
    } else {
        QCOMPARE(widget->geometry(), place);
        // Labels, buttons and the text box have a text; the combo box shows its own below.
        QCOMPARE(widget->property("text").toString(), text);
    }
    QCOMPARE(widget->toolTip(), toolTip);
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

void TestDialogs::promptReportsBack_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<bool>("canceled");

    const int accepted = QDialog::Accepted;
    const int rejected = QDialog::Rejected;
    QTest::newRow("Enter") << "s3cret"
                           << "enter" << accepted << "s3cret" << false;
    QTest::newRow("Cancel") << "s3cret"
                            << "cancel" << rejected << "untouched" << true;
    QTest::newRow("close box") << "s3cret"
                               << "close" << rejected << "untouched" << true;
}

void TestDialogs::promptReportsBack()
{
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(QString, pass);
    QFETCH(bool, canceled);

    m_pass = QStringLiteral("untouched");
    m_canceled = false;
    frmLogin prompt(m_pass, m_canceled);
    QCOMPARE(prompt.txtPassword->echoMode(), QLineEdit::Password);
    const int answer = execWith(prompt, [&] {
        QTest::keyClicks(prompt.txtPassword, typed);
        if (action == u"cancel")
            QTest::mouseClick(prompt.cmdCancel, Qt::LeftButton);
        else if (action == u"close")
            prompt.close();
        else
            QTest::keyClick(prompt.txtPassword, Qt::Key_Return);
    });
    QCOMPARE(answer, result);
    QCOMPARE(m_pass, pass);
    QCOMPARE(m_canceled, canceled);
    QVERIFY(!prompt.isVisible());
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
