// Password scrambling: the known outputs stored passwords depend on, and how stored fields that scrambling never
// writes decode. The fuzz target checks that any password scrambles back and forth.
#include "records/Crypt.h"

#include <QTest>

using Crypt::DecryptPassword;
using Crypt::EncryptPassword;

class TestCrypt : public QObject
{
    Q_OBJECT

private slots:
    void scramblesToKnownText();
    void decodesMalformedFields();
};

void TestCrypt::scramblesToKnownText()
{
    QCOMPARE(EncryptPassword(QString()), QString());
    // 'a'^'T' = 0x35, 'b'^'q' = 0x13, 'c'^'%' = 0x46.
    QCOMPARE(EncryptPassword(QStringLiteral("abc")), QStringLiteral("351346"));
    // 'z'^'T' = 0x2E: letters come out in upper case.
    QCOMPARE(EncryptPassword(QStringLiteral("z")), QStringLiteral("2E"));
    // The key against itself gives "00" for each of its 17 characters; character 18 meets key character 1 again.
    const QString key = QStringLiteral("Tq%8Lr!2Xn(#Zw7&E");
    QCOMPARE(EncryptPassword(key + u'a'), QString(34, u'0') + QStringLiteral("35"));
    // A character outside the code page is stored as "?".
    QCOMPARE(DecryptPassword(EncryptPassword(QStringLiteral("日x"))), QStringLiteral("?x"));
}

void TestCrypt::decodesMalformedFields()
{
    QCOMPARE(DecryptPassword(QStringLiteral("2e")), QStringLiteral("z"));
    // An odd length decodes its last digit alone: 0x04 ^ '%' = '!'.
    QCOMPARE(DecryptPassword(QStringLiteral("35134")), QStringLiteral("ab!"));
    // A pair reads up to its first non-digit: "1G" is 1, "G1" is 0.
    QCOMPARE(DecryptPassword(QStringLiteral("1G")), QString(QChar(0x01 ^ 'T')));
    QCOMPARE(DecryptPassword(QStringLiteral("G1")), QStringLiteral("T"));
}

QTEST_GUILESS_MAIN(TestCrypt)
#include "tst_crypt.moc"
