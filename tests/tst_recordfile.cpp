// The record file on disk: creation, writes, and files it refuses. The fuzz target reads files of any length,
// a last partial slot and the slots past the end included.
#include "records/RecordFile.h"
#include "support/SlotBytes.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

DriveRecord sample(qint16 slot)
{
    const QByteArray number = QByteArray::number(slot);
    return DriveRecord::fromSlot(SlotBytes::saved("Rec " + number, "\\\\server\\share" + number, slot, 'T', 'F', "K:"));
}

mode_t modeOf(const QString& path)
{
    struct stat st
    { };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void createsPrivateEmptyFile();
    void writesWholeSlotsAndExtendsWithZeros();
    void refusesSpecialFilesAndDanglingLinks();

private:
    QTemporaryDir m_dir;
};

void TestRecordFile::createsPrivateEmptyFile()
{
    const QString path = m_dir.filePath(QStringLiteral("new.dat"));
    RecordFile file;
    QVERIFY2(file.open(path), qPrintable(file.errorString()));
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(file.read(1), DriveRecord());

    // An existing file opens untouched, and is closed to other users: it holds passwords.
    const QString old = m_dir.filePath(QStringLiteral("old.dat"));
    const QByteArray bytes = SlotBytes::saved("Name", "\\\\srv\\share", 1);
    QVERIFY(SlotBytes::writeFile(old, bytes));
    QVERIFY(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    RecordFile existing;
    QVERIFY(existing.open(old));
    QCOMPARE(SlotBytes::readFile(old), bytes);
    QCOMPARE(modeOf(old), mode_t(0600));
}

void TestRecordFile::writesWholeSlotsAndExtendsWithZeros()
{
    const QString path = m_dir.filePath(QStringLiteral("write.dat"));
    QByteArray three;
    for (qint16 slot = 1; slot <= 3; ++slot)
        three += sample(slot).toSlot();
    QVERIFY(SlotBytes::writeFile(path, three));

    RecordFile file;
    QVERIFY(file.open(path));
    QVERIFY2(file.write(10, sample(10)), qPrintable(file.errorString()));
    const QByteArray after = SlotBytes::readFile(path);
    QCOMPARE(after.size(), 10 * 212);
    QCOMPARE(after.left(3 * 212), three);
    QCOMPARE(after.mid(3 * 212, 6 * 212), QByteArray(6 * 212, '\0'));
    QCOMPARE(after.mid(9 * 212), sample(10).toSlot());
    // The same handle sees what it wrote; there is no slot 0.
    QCOMPARE(*file.read(10), sample(10));
    QVERIFY(!file.read(0));

    // Overwriting in place keeps the length and the neighbours.
    QVERIFY(file.write(2, sample(7)));
    QCOMPARE(SlotBytes::readFile(path).size(), 10 * 212);
    QCOMPARE(*file.read(2), sample(7));
    QCOMPARE(*file.read(3), sample(3));

    // The last slot there can be is written at its offset, far past the end.
    QVERIFY(file.write(RecordFile::LastSlot, sample(1)));
    QCOMPARE(QFileInfo(path).size(), qint64(RecordFile::LastSlot) * 212);
    QCOMPARE(*file.read(RecordFile::LastSlot), sample(1));
}

void TestRecordFile::refusesSpecialFilesAndDanglingLinks()
{
    const QString fifo = m_dir.filePath(QStringLiteral("fifo.dat"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    RecordFile file;
    // Opening must not wait for a writer to appear at the other end.
    QVERIFY(!file.open(fifo));
    QVERIFY(file.errorString().contains(QStringLiteral("not a regular file")));
    QVERIFY(!file.isOpen());

    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.dat")));
    QVERIFY(!file.open(m_dir.filePath(QStringLiteral("folder.dat"))));
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(!file.write(1, sample(1)));

    // A link is followed to an existing file, but never to create a file where it points.
    const QString target = m_dir.filePath(QStringLiteral("elsewhere.dat"));
    const QString link = m_dir.filePath(QStringLiteral("link.dat"));
    QVERIFY(QFile::link(target, link));
    QVERIFY(!file.open(link));
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(SlotBytes::writeFile(target, sample(4).toSlot()));
    QVERIFY(file.open(link));
    QCOMPARE(*file.read(1), sample(4));
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
