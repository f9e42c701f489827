// The 212-byte slot layout, the reading rules and the blank-slot rule. The fuzz target checks that any slot reads
// back as it is written; these are the exact bytes the file format promises.
#include "records/DriveRecord.h"
#include "support/SlotBytes.h"

#include <QTest>

class TestDriveRecord : public QObject
{
    Q_OBJECT

private slots:
    void writesExactSlotBytes();
    void readsTextUpToPaddingAndZeroBytes();
    void flagsAreSetOnlyByT();
    void blankRuleCoversTwelveCodes();
    void storesWindows1252Text();
};

void TestDriveRecord::writesExactSlotBytes()
{
    DriveRecord record {QStringLiteral("Office"),
                        QStringLiteral("\\\\server\\share"),
                        QStringLiteral("alice"),
                        QStringLiteral("351346"),
                        QStringLiteral("T"),
                        QStringLiteral("F"),
                        QStringLiteral("G:"),
                        QStringLiteral("F"),
                        -2};
    const QByteArray expected
        = SlotBytes::saved("Office", "\\\\server\\share", -2, 'T', 'F', "G:", "alice", "351346", 'F');
    QCOMPARE(record.toSlot(), expected);
    QCOMPARE(DriveRecord::fromSlot(expected), record);

    // Long values are cut to their fields; empty flags are written as spaces, never as zero bytes that would end
    // the slot early.
    record = DriveRecord();
    record.RecordName = QStringLiteral("A twenty-char name!!");
    record.RemoteName = QString(80, u'r');
    record.UserName = QStringLiteral("domain\\a-long-user");
    record.Password = QString(120, u'A');
    record.LocalDrive = QStringLiteral("XYZ");
    QCOMPARE(record.toSlot(),
             SlotBytes::saved("A twenty-char n", QByteArray(75, 'r'), 0, ' ', ' ', "XY", "domain\\a-long-u",
                              QByteArray(100, 'A'), ' '));
}

void TestDriveRecord::readsTextUpToPaddingAndZeroBytes()
{
    QByteArray slot = SlotBytes::saved("  lead  ", "\\\\srv\\x", 1);
    slot.replace(90, 7, QByteArray("ab\0cd  ", 7));
    slot.replace(105, 4, QByteArray("12\t ", 4));

    const DriveRecord record = DriveRecord::fromSlot(slot);
    QCOMPARE(record.RecordName, QStringLiteral("  lead")); // leading spaces stay
    QCOMPARE(record.UserName, QStringLiteral("ab")); // the text ends at its first zero byte
    QCOMPARE(record.Password, QStringLiteral("12\t")); // only spaces are trimmed
    // A slot the file never wrote is an empty record.
    QCOMPARE(DriveRecord::fromSlot(QByteArray(212, '\0')), DriveRecord());
}

void TestDriveRecord::flagsAreSetOnlyByT()
{
    QVERIFY(isSet(DriveRecord::fromSlot(SlotBytes::saved("n", "\\\\s\\s", 1, 'T')).AutoConnect));
    for (const char flag : {'F', 't', ' ', 'Y', '\0'}) {
        const DriveRecord record = DriveRecord::fromSlot(SlotBytes::saved("n", "\\\\s\\s", 1, flag, flag));
        QVERIFY2(!isSet(record.AutoConnect), QByteArray(1, flag).toHex());
        QVERIFY(!isSet(record.AutoMap));
    }
}

void TestDriveRecord::blankRuleCoversTwelveCodes()
{
    QList<int> blank;
    for (int code = 0; code < 256; ++code) {
        QByteArray slot = SlotBytes::saved("name", "x\\\\server\\share", 1);
        slot[15] = static_cast<char>(code);
        if (isBlankSlot(DriveRecord::fromSlot(slot)))
            blank.append(code);
    }
    QCOMPARE(blank, (QList<int> {0, 3, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39}));
}

void TestDriveRecord::storesWindows1252Text()
{
    DriveRecord record;
    record.RecordName = QStringLiteral("Müller €’");
    record.RemoteName = QStringLiteral("\\\\файл\\日本😀x");
    const QByteArray slot = record.toSlot();
    QCOMPARE(slot.left(9), QByteArray("M\xFCller \x80\x92"));
    // Outside the code page each character, a surrogate pair included, becomes one "?".
    QCOMPARE(slot.mid(15, 12), QByteArray("\\\\????\\???x "));
    QCOMPARE(DriveRecord::fromSlot(slot).RecordName, record.RecordName);
}

QTEST_GUILESS_MAIN(TestDriveRecord)
#include "tst_driverecord.moc"
