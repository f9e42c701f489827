// Listing the saved slots: the five-blank rule and the last slot number. The main window's test reads the rows.
#include "records/RecordList.h"
#include "support/SlotBytes.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using Slots = QList<QByteArray>;

QByteArray record(int slot)
{
    return SlotBytes::saved("Rec" + QByteArray::number(slot), "\\\\srv\\s" + QByteArray::number(slot),
                            static_cast<qint16>(slot));
}

QList<qint16> slotsOf(const RecordListing& listing)
{
    QList<qint16> numbers;
    for (const RecordRow& row : listing.rows)
        numbers.append(row.slot);
    return numbers;
}

} // namespace

class TestRecordList : public QObject
{
    Q_OBJECT

private slots:
    void stopsAtTheFifthBlank_data();
    void stopsAtTheFifthBlank();
    void endsAtTheLastSlotNumber();

private:
    RecordListing listFile(const QByteArray& bytes);

    QTemporaryDir m_dir;
    RecordFile m_file;
};

RecordListing TestRecordList::listFile(const QByteArray& bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("drvmap.dat"));
    if (!SlotBytes::writeFile(path, bytes) || !m_file.open(path))
        qFatal("cannot prepare %s", qPrintable(path));
    return listRecords(m_file);
}

void TestRecordList::stopsAtTheFifthBlank_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<qint16>>("listed");

    QTest::newRow("empty file") << QByteArray() << QList<qint16> {};

    // A remote name beginning with "#" hides its record and counts as a blank, as a deleted slot does.
    QByteArray gapOfFive = record(1) + record(2) + SlotBytes::saved("Hidden", "#\\\\srv\\x", 4);
    for (int i = 0; i < 4; ++i)
        gapOfFive += SlotBytes::deleted();
    QTest::newRow("five blanks before a record") << gapOfFive + record(8) << QList<qint16> {1, 2};

    // The blanks are counted from slot 1, not in a row: slot 11 is the fifth.
    QByteArray scattered;
    for (int slot = 1; slot <= 10; ++slot)
        scattered += (slot % 2 == 0 && slot <= 8) ? SlotBytes::deleted() : record(slot);
    QTest::newRow("scattered deletions") << scattered << QList<qint16> {1, 3, 5, 7, 9, 10};
    QTest::newRow("never-written gap") << record(1) + QByteArray(3 * 212, '\0') + record(5) << QList<qint16> {1, 5};
}

void TestRecordList::stopsAtTheFifthBlank()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<qint16>, listed);
    const RecordListing listing = listFile(file);
    QCOMPARE(listing.error, QString());
    QCOMPARE(slotsOf(listing), listed);
    // Listing again gives the same rows, not more.
    QCOMPARE(listRecords(m_file).rows, listing.rows);
}

void TestRecordList::endsAtTheLastSlotNumber()
{
    // Every slot saved: the listing must end at slot 32767 instead of wrapping to slot -32768.
    QByteArray full;
    full.reserve(RecordFile::LastSlot * 212);
    for (int slot = 1; slot <= RecordFile::LastSlot; ++slot)
        full += record(slot);
    const RecordListing listing = listFile(full + record(1));
    QCOMPARE(listing.error, QString());
    QCOMPARE(listing.rows.size(), qsizetype(RecordFile::LastSlot));
    QCOMPARE(listing.rows.last().slot, RecordFile::LastSlot);
}

QTEST_GUILESS_MAIN(TestRecordList)
#include "tst_recordlist.moc"
