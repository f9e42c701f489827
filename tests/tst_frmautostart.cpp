// The auto-start window against a private autostart folder: the entry it writes, its buttons, and its deletes.
#include "support/ScriptedMessageBoxes.h"
#include "ui/autostart/frmAutoStart.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {

const QString Own = QStringLiteral("ShareMount AutoStart.desktop");

// The arguments of the entry's Exec key as a session reads them: the file's escapes, then the quoting, then the
// field codes.
QStringList execArguments(const QByteArray& entry)
{
    QString value;
    for (const QByteArray& line : entry.split('\n'))
        if (line.startsWith("Exec="))
            value = QString::fromUtf8(line.mid(5));
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
    void locatesTheFolder_data();
    void locatesTheFolder();
    void writesAnEntryTheSessionStarts_data();
    void writesAnEntryTheSessionStarts();
    void reportsAnEntryItCannotWrite();
    void deletes();

private:
    QString folder() const { return m_dir->filePath(QStringLiteral("config/autostart")); }
    void put(const QString& name, const QByteArray& content = "[Desktop Entry]\nType=Application\nExec=other\n")
    {
        QFile file(folder() + u'/' + name);
        QVERIFY(QDir().mkpath(folder()) && file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
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

void TestFrmAutoStart::locatesTheFolder_data()
{
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("folder");
    const QString home = QStringLiteral("home/.config/autostart/");
    QTest::newRow("set") << "/nowhere/config" << QStringLiteral("/nowhere/config/autostart/");
    QTest::newRow("empty") << "" << home;
    QTest::newRow("relative") << "config" << home;
    QTest::newRow("unset") << QString() << home;
}

void TestFrmAutoStart::locatesTheFolder()
{
    QFETCH(QString, configHome);
    QFETCH(QString, folder);
    m_environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    if (!configHome.isNull())
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    frmAutoStart w(QStringLiteral("/usr/bin/drvmap"), m_environment, m_messages);
    QCOMPARE(w.StartupFolder, QDir::isAbsolutePath(folder) ? folder : m_dir->filePath(folder));
    // No folder yet: nothing to list, nothing to complain about, and the entry can be added.
    QCOMPARE(state(w), QStringLiteral("Add | "));
    QVERIFY(m_messages.asked.isEmpty());
}

void TestFrmAutoStart::writesAnEntryTheSessionStarts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("otherEntry");
    QTest::newRow("plain, new folder") << "/usr/local/bin/drvmap" << false;
    QTest::newRow("space and quote") << "/opt/Share Mount/\"new\"/drvmap" << true;
    QTest::newRow("shell characters") << "/home/o'brien/$HOME/`x`/back\\slash/100%/drvmap" << true;
    QTest::newRow("non-ASCII and line break") << "/home/jörg/a\nb/drvmap" << true;
}

void TestFrmAutoStart::writesAnEntryTheSessionStarts()
{
    QFETCH(QString, program);
    QFETCH(bool, otherEntry);
    // Another program's entry, even one that names itself like ours, is only listed.
    const QByteArray other = "[Desktop Entry]\nType=Application\nName=ShareMount AutoStart\nExec=other -auto\n";
    if (otherEntry)
        put(QStringLiteral("other.desktop"), other);
    frmAutoStart w(program, m_environment, m_messages);
    const QString others = otherEntry ? QStringLiteral(", other.desktop") : QString();
    QCOMPARE(state(w), QStringLiteral("Add | ") + others.mid(2));

    QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
    QVERIFY(m_messages.asked.isEmpty());
    QCOMPARE(state(w), QStringLiteral("Delete | ") + Own + others);
    QFile entry(folder() + u'/' + Own);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray content = entry.readAll();
    QCOMPARE(execArguments(content), QStringList({program, "-auto"}));
    QVERIFY(content.startsWith("[Desktop Entry]\nType=Application\nName=ShareMount AutoStart\n"));
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry.fileName()});
    QVERIFY2(validate.waitForFinished(), "desktop-file-validate (desktop-file-utils) did not run");
    QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
    if (otherEntry) {
        QFile file(folder() + QStringLiteral("/other.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), other);
    }

    // The next opening finds the entry; Close ends the window.
    frmAutoStart again(program, m_environment, m_messages);
    QString buttons;
    QTimer::singleShot(0, &again, [&again, &buttons] {
        buttons = state(again);
        QTest::mouseClick(again.cmdClose, Qt::LeftButton);
    });
    again.exec();
    QCOMPARE(buttons, QStringLiteral("Delete | ") + Own + others);
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

    // Add and Delete in turn.
    QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
    QCOMPARE(state(w), QStringLiteral("Delete | ") + Own + QStringLiteral(", late.desktop"));
    QTest::mouseClick(w.cmdRemove, Qt::LeftButton);
    QCOMPARE(state(w), QStringLiteral("Add | late.desktop"));
    QVERIFY(QFile::exists(folder() + QStringLiteral("/notes.txt")));
    QCOMPARE(said(m_messages).size(), 2);
}

QTEST_MAIN(TestFrmAutoStart)
#include "tst_frmautostart.moc"
