// The About box and the help window: what they show, and which clicks and keys close them.
#include "ui/Layout.h"
#include "ui/about/frmAbout.h"
#include "ui/about/frmHelp.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using Action = std::function<void(frmAbout&)>;
Q_DECLARE_METATYPE(Action)

namespace {

// Runs the About box modally as the main window does and does action in it; answers whether that ended the box.
bool endsTheBox(frmAbout& about, const Action& action)
{
    bool reached = false;
    QTimer::singleShot(0, &about, [&] {
        reached = QApplication::activeModalWidget() == &about;
        if (reached)
            action(about);
        // Whatever is still open here is ended with -1 rather than leave the test waiting for a click.
        if (about.isVisible())
            about.done(-1);
    });
    const int result = about.exec();
    return reached && result != -1;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsTheVersionOverItsOwner();
    void closesTheBox_data();
    void closesTheBox();
    void helpFollowsTheWindowAndGoesWhenClosed_data();
    void helpFollowsTheWindowAndGoesWhenClosed();
};

void TestAbout::showsTheVersionOverItsOwner()
{
    QWidget owner;
    owner.setGeometry(50, 50, 700, 500);
    owner.show();
    frmAbout about(&owner);
    QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 1.0.0"));
    QPoint offset;
    endsTheBox(about, [&](frmAbout&) { offset = about.geometry().center() - owner.geometry().center(); });
    QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

void TestAbout::closesTheBox_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("closes");
    QTest::newRow("click on the picture")
        << Action([](frmAbout& about) { QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(20, 20)); }) << true;
    QTest::newRow("click on the version")
        << Action([](frmAbout& about) { QTest::mouseClick(about.lblVersion, Qt::LeftButton); }) << true;
    QTest::newRow("Esc in the notice") << Action([](frmAbout& about) { QTest::keyClick(about.Text1, Qt::Key_Escape); })
                                       << true;
    QTest::newRow("click into the notice")
        << Action([](frmAbout& about) { QTest::mouseClick(about.Text1->viewport(), Qt::LeftButton); }) << false;
    QTest::newRow("other keys in the notice") << Action([](frmAbout& about) {
        QTest::keyClicks(about.Text1, QStringLiteral("x "));
        QTest::keyClick(about.Text1, Qt::Key_Return);
    }) << false;
}

void TestAbout::closesTheBox()
{
    QFETCH(Action, action);
    QFETCH(bool, closes);
    frmAbout about;
    const QString notice = about.Text1->toPlainText();
    QCOMPARE(endsTheBox(about, action), closes);
    QCOMPARE(about.Text1->toPlainText(), notice);
}

void TestAbout::helpFollowsTheWindowAndGoesWhenClosed_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Done") << 0;
    QTest::newRow("Enter, for the default button") << 1;
    QTest::newRow("close box") << 2;
}

void TestAbout::helpFollowsTheWindowAndGoesWhenClosed()
{
    QFETCH(int, way);
    QPointer<frmHelp> help = new frmHelp;
    help->show();
    QVERIFY(QTest::qWaitForWindowActive(help));
    // Larger, the frames fill the width and share the height above the button, which keeps to the bottom.
    const int firstHeight = help->Frame1->height();
    help->resize(help->width() + 300, help->height() + 200);
    QCOMPARE(help->Frame5->geometry().right(), help->width() - twips(120) - 1);
    QCOMPARE(help->cmdDone->geometry().bottom(), help->height() - twips(120) - 1);
    QVERIFY(help->Frame5->geometry().bottom() < help->cmdDone->geometry().top());
    QVERIFY(help->Frame1->height() > firstHeight);

    // Closed, it is discarded.
    if (way == 0)
        QTest::mouseClick(help->cmdDone, Qt::LeftButton);
    else if (way == 1)
        QTest::keyClick(help->Text2, Qt::Key_Return);
    else
        help->close();
    QTRY_VERIFY(help.isNull());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
