// The 212-byte slot layout, the reading rules and the blank-slot rule.
#include "records/Cp1252.h"
#include "records/DriveRecord.h"
#include "support/SlotBytes.h"

#include <QTest>

class TestDriveRecord : public QObject
{
    Q_OBJECT

private slots:
    void writesExactSlotBytes();
    void cutsLongValuesToTheirFields();
    void readsTextUpToPaddingAndZeroBytes();
    void readsShortAndZeroSlots();
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
                        258};
    const QByteArray expected
        = SlotBytes::saved("Office", "\\\\server\\share", 258, 'T', 'F', "G:", "alice", "351346", 'F');
    QCOMPARE(record.toSlot(), expected);
    QCOMPARE(DriveRecord::fromSlot(expected), record);

    record.RecordNumber = -2;
    QCOMPARE(record.toSlot().mid(210), QByteArray("\xFE\xFF", 2));
    QCOMPARE(DriveRecord::fromSlot(record.toSlot()).RecordNumber, qint16(-2));
}

void TestDriveRecord::cutsLongValuesToTheirFields()
{
    DriveRecord record;
    record.RecordName = QStringLiteral("A twenty-char name!!");
    record.RemoteName = QString(80, u'r');
    record.UserName = QStringLiteral("domain\\a-long-user");
    record.Password = QString(120, u'A');
    record.LocalDrive = QStringLiteral("XYZ");

    const QByteArray slot = record.toSlot();
    QCOMPARE(slot.size(), 212);
    QCOMPARE(slot.left(15), QByteArray("A twenty-char n"));
    QCOMPARE(slot.mid(15, 75), QByteArray(75, 'r'));
    QCOMPARE(slot.mid(90, 15), QByteArray("domain\\a-long-u"));
    QCOMPARE(slot.mid(105, 100), QByteArray(100, 'A'));
    QCOMPARE(slot.mid(207, 2), QByteArray("XY"));
    // Empty flags are written as spaces, never as zero bytes that would end the slot early.
    QCOMPARE(slot.mid(205, 2), QByteArray("  "));
}

void TestDriveRecord::readsTextUpToPaddingAndZeroBytes()
{
    QByteArray slot = SlotBytes::saved("  lead  ", "\\\\srv\\x", 1);
    slot.replace(90, 7, QByteArray("ab\0cd  ", 7));
    slot.replace(105, 4, QByteArray("12\t ", 4));

    const DriveRecord record = DriveRecord::fromSlot(slot);
    QCOMPARE(record.RecordName, QStringLiteral("  lead")); // leading spaces stay
    QCOMPARE(record.RemoteName, QStringLiteral("\\\\srv\\x"));
    QCOMPARE(record.UserName, QStringLiteral("ab")); // the text ends at its first zero byte
    QCOMPARE(record.Password, QStringLiteral("12\t")); // only spaces are trimmed
    QCOMPARE(record.LocalDrive, QStringLiteral("F:"));
}

void TestDriveRecord::readsShortAndZeroSlots()
{
    QCOMPARE(DriveRecord::fromSlot(QByteArray(212, '\0')), DriveRecord());
    QCOMPARE(DriveRecord::fromSlot(QByteArray()), DriveRecord());

    // The final, partial slot of a file whose length is not a multiple of 212.
    const QByteArray full = SlotBytes::saved("Name", "\\\\host\\share", 7, 'T', 'T', "H:", "userx");
    const DriveRecord partial = DriveRecord::fromSlot(full.left(94));
    QCOMPARE(partial.RecordName, QStringLiteral("Name"));
    QCOMPARE(partial.RemoteName, QStringLiteral("\\\\host\\share"));
    QCOMPARE(partial.UserName, QStringLiteral("user"));
    QVERIFY(partial.AutoConnect.isEmpty());
    QCOMPARE(partial.RecordNumber, qint16(0));

    // Bytes past 212 belong to the next slot.
    QCOMPARE(DriveRecord::fromSlot(full + QByteArray(50, 'x')), DriveRecord::fromSlot(full));
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

    QVERIFY(isBlankSlot(DriveRecord::fromSlot(SlotBytes::deleted())));
    QVERIFY(isBlankSlot(DriveRecord::fromSlot(SlotBytes::saved("n", " \\\\srv\\share", 1))));
    QVERIFY(!isBlankSlot(DriveRecord::fromSlot(SlotBytes::saved("n", "\\\\srv\\share", 1))));
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

    // Every byte, the five the code page leaves undefined included, decodes and encodes back to itself.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    QCOMPARE(Cp1252::fromUnicode(Cp1252::toUnicode(all)), all);
}

QTEST_GUILESS_MAIN(TestDriveRecord)
#include "tst_driverecord.moc"
