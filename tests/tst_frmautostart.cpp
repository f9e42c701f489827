// The auto-start window against a private autostart folder: the entry it writes, its buttons, and its deletes.
#include "support/ScriptedMessageBoxes.h"
#include "support/SlotBytes.h"
#include "ui/autostart/frmAutoStart.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString Own = QStringLiteral("ShareMount AutoStart.desktop");

// The arguments of the entry's Exec key as a session reads them: the file's escapes, then the quoting, then the
// field codes.
QStringList execArguments(const QByteArray& entry)
{
    const qsizetype start = entry.indexOf("\nExec=") + 6;
    const QString value = QString::fromUtf8(entry.mid(start, entry.indexOf('\n', start) - start));
    QString command;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i] == u'\\' ? value[++i] : QChar();
        command += c.isNull() ? value[i] : c == u'n' ? u'\n' : c == u't' ? u'\t' : c == u's' ? u' ' : c;
    }
    QStringList arguments = {QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (command[i] == u'"')
            quoted = !quoted;
        else if (!quoted && command[i] == u' ')
            arguments.append(QString());
        else
            arguments.last() += quoted && command[i] == u'\\' ? command[++i] : command[i];
    }
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return arguments;
}

// The buttons that can be clicked, then the entries listed: "Delete | a.desktop, b.desktop".
QString state(const frmAutoStart& w)
{
    QStringList buttons;
    for (QPushButton* button : {w.cmdAdd, w.cmdRemove})
        if (button->isEnabled())
            buttons << button->text().remove(u'&');
    QStringList names;
    for (int row = 0; row < w.lsvLinks->topLevelItemCount(); ++row)
        names << w.lsvLinks->topLevelItem(row)->text(0);
    names.sort();
    return buttons.join(u'+') + QStringLiteral(" | ") + names.join(QStringLiteral(", "));
}

// What the message boxes said, as "title: text"; each is to offer OK alone.
QStringList said(const ScriptedMessageBoxes& messages)
{
    QStringList texts;
    for (const MessageBoxes::Message& message : messages.asked)
        texts << (message.buttons == MessageBoxes::Buttons::Ok ? message.title : QStringLiteral("(not OK alone)"))
                + QStringLiteral(": ") + message.text;
    return texts;
}

void rightClick(const frmAutoStart& w, const QString& name)
{
    const QPoint row = w.lsvLinks->visualItemRect(w.lsvLinks->findItems(name, Qt::MatchExactly).value(0)).center();
    QTest::mousePress(w.lsvLinks->viewport(), Qt::RightButton, {}, row);
    QTest::mouseRelease(w.lsvLinks->viewport(), Qt::RightButton, {}, row);
}

} // namespace

class TestFrmAutoStart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_messages.reset(); }
    void writesAnEntryTheSessionStarts_data();
    void writesAnEntryTheSessionStarts();
    void reportsAnEntryItCannotWrite();
    void deletes();

private:
    QString folder() const { return m_dir->filePath(QStringLiteral("config/autostart")); }
    void put(const QString& name, const QByteArray& content = "[Desktop Entry]\nType=Application\nExec=other\n",
             QString in = {})
    {
        in = in.isEmpty() ? folder() : in;
        QVERIFY(QDir().mkpath(in) && SlotBytes::writeFile(in + u'/' + name, content));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_environment;
    ScriptedMessageBoxes m_messages;
};

void TestFrmAutoStart::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_environment.clear();
    m_environment.insert(QStringLiteral("HOME"), m_dir->filePath(QStringLiteral("home")));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
}

void TestFrmAutoStart::writesAnEntryTheSessionStarts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("configHome"); // null: unset; <dir> is the test's folder
    QTest::addColumn<QString>("folder"); // where the entry goes, in the test's folder
    QTest::addColumn<bool>("otherEntry");
    const QString home = QStringLiteral("home/.config/autostart");
    QTest::newRow("plain, new folder, unset") << "/usr/local/bin/drvmap" << QString() << home << false;
    QTest::newRow("space and quote, set") << "/opt/Share Mount/\"new\"/drvmap"
                                          << "<dir>/config"
                                          << "config/autostart" << true;
    QTest::newRow("shell characters, relative") << "/home/o'brien/$HOME/`x`/back\\slash/100%/drvmap"
                                                << "config" << home << true;
    QTest::newRow("non-ASCII and line break, empty") << "/home/jörg/a\nb/drvmap"
                                                     << "" << home << true;
}

void TestFrmAutoStart::writesAnEntryTheSessionStarts()
{
    QFETCH(QString, program);
    QFETCH(QString, configHome);
    QFETCH(QString, folder);
    QFETCH(bool, otherEntry);
    m_environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    if (!configHome.isNull())
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                             configHome.replace(QStringLiteral("<dir>"), m_dir->path()));
    folder = m_dir->filePath(folder);
    // Another program's entry, even one that names itself like ours, is only listed.
    const QByteArray other = "[Desktop Entry]\nType=Application\nName=ShareMount AutoStart\nExec=other -auto\n";
    if (otherEntry)
        put(QStringLiteral("other.desktop"), other, folder);
    frmAutoStart w(program, m_environment, m_messages);
    const QString others = otherEntry ? QStringLiteral(", other.desktop") : QString();
    QCOMPARE(state(w), QStringLiteral("Add | ") + others.mid(2));

    QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
    QVERIFY(m_messages.asked.isEmpty());
    QCOMPARE(state(w), QStringLiteral("Delete | ") + Own + others);
    const QString entry = folder + u'/' + Own;
    const QByteArray content = SlotBytes::readFile(entry);
    QCOMPARE(execArguments(content), QStringList({program, "-auto"}));
    QVERIFY(content.startsWith("[Desktop Entry]\nType=Application\nName=ShareMount AutoStart\n"));
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(validate.waitForFinished(), "desktop-file-validate (desktop-file-utils) did not run");
    QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
    if (otherEntry)
        QCOMPARE(SlotBytes::readFile(folder + QStringLiteral("/other.desktop")), other);
}

void TestFrmAutoStart::reportsAnEntryItCannotWrite()
{
    // The folder cannot be made where a file stands, whoever runs the test.
    QFile blocker(m_dir->filePath(QStringLiteral("config")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    frmAutoStart w(QStringLiteral("/usr/bin/drvmap"), m_environment, m_messages);
    QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
    const QStringList errors = said(m_messages);
    QVERIFY2(errors.size() == 1
                 && errors[0].startsWith(QStringLiteral("Error: Cannot create the folder ") + blocker.fileName()),
             qPrintable(errors.join(u'\n')));
    QCOMPARE(state(w), QStringLiteral("Add | "));
}

void TestFrmAutoStart::deletes()
{
    put(Own);
    put(QStringLiteral("other.desktop"));
    put(QStringLiteral("notes.txt"));
    QVERIFY(QDir(folder()).mkdir(QStringLiteral("folder.desktop")));
    frmAutoStart w(QStringLiteral("/usr/bin/drvmap"), m_environment, m_messages);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(state(w), QStringLiteral("Delete | ") + Own + QStringLiteral(", other.desktop"));

    // Below the rows, with no current row, the right button opens nothing.
    QTest::mouseClick(w.lsvLinks->viewport(), Qt::RightButton, {}, QPoint(5, w.lsvLinks->viewport()->height() - 5));
    QVERIFY(!w.mnuLinks->isVisible());

    // The context menu deletes the program's own entry, and leaves the buttons as they were.
    rightClick(w, Own);
    QVERIFY(w.mnuLinks->isVisible());
    QTest::mouseClick(w.mnuLinks, Qt::LeftButton, {}, w.mnuLinks->actionGeometry(w.mnuDeleteLink).center());
    QCOMPARE(state(w), QStringLiteral("Delete | other.desktop"));
    QVERIFY(m_messages.asked.isEmpty());

    // Delete finds the entry gone; it says so, lists the folder as it now stands and sets the buttons by it.
    put(QStringLiteral("late.desktop"));
    QTest::mouseClick(w.cmdRemove, Qt::LeftButton);
    const QString ownGone
        = QStringLiteral("Error: Cannot delete ShareMount AutoStart.desktop: No such file or directory");
    QCOMPARE(said(m_messages), QStringList({ownGone}));
    QCOMPARE(state(w), QStringLiteral("Add | late.desktop, other.desktop"));

    // An entry that goes while listed gives the same error through the context menu.
    rightClick(w, QStringLiteral("other.desktop"));
    QVERIFY(QFile::remove(folder() + QStringLiteral("/other.desktop")));
    w.mnuDeleteLink->trigger();
    const QString otherGone = QStringLiteral("Error: Cannot delete other.desktop: No such file or directory");
    QCOMPARE(said(m_messages), QStringList({ownGone, otherGone}));

    // Add and Delete in turn; Close ends the window.
    QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
    QCOMPARE(state(w), QStringLiteral("Delete | ") + Own + QStringLiteral(", late.desktop"));
    QTest::mouseClick(w.cmdRemove, Qt::LeftButton);
    QCOMPARE(state(w), QStringLiteral("Add | late.desktop"));
    QCOMPARE(said(m_messages).size(), 2);
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(TestFrmAutoStart)
#include "tst_frmautostart.moc"
