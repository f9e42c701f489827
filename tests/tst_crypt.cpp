// Password scrambling: known outputs, the key's wrap, and the tolerant decoding of stored fields.
#include "records/Crypt.h"

#include <QTest>

using Crypt::DecryptPassword;
using Crypt::EncryptPassword;

namespace {
const QString Key = QStringLiteral("Tq%8Lr!2Xn(#Zw7&E");
}

class TestCrypt : public QObject
{
    Q_OBJECT

private slots:
    void scramblesToUpperCaseHex();
    void keyWrapsAfterSeventeenCharacters();
    void roundTrips_data();
    void roundTrips();
    void decodesMalformedFields();
};

void TestCrypt::scramblesToUpperCaseHex()
{
    QCOMPARE(EncryptPassword(QString()), QString());
    QCOMPARE(DecryptPassword(QString()), QString());
    // 'a'^'T' = 0x35, 'b'^'q' = 0x13, 'c'^'%' = 0x46.
    QCOMPARE(EncryptPassword(QStringLiteral("abc")), QStringLiteral("351346"));
    // 'z'^'T' = 0x2E: letters come out in upper case.
    QCOMPARE(EncryptPassword(QStringLiteral("z")), QStringLiteral("2E"));
    // A character equal to its key character gives "00" and comes back.
    QCOMPARE(EncryptPassword(QStringLiteral("Tq")), QStringLiteral("0000"));
    QCOMPARE(DecryptPassword(QStringLiteral("0000")), QStringLiteral("Tq"));
}

void TestCrypt::keyWrapsAfterSeventeenCharacters()
{
    // The key against itself uses each key character once; character 18 meets key character 1 again.
    QCOMPARE(EncryptPassword(Key), QString(34, u'0'));
    QCOMPARE(EncryptPassword(Key + u'T'), QString(36, u'0'));
    QCOMPARE(EncryptPassword(Key + u'a').right(2), QStringLiteral("35"));
}

void TestCrypt::roundTrips_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("one") << QStringLiteral("x");
    QTest::newRow("word") << QStringLiteral("secret");
    QTest::newRow("seventeen") << QStringLiteral("0123456789abcdefg");
    QTest::newRow("fifty") << QString(50, u'p');
    QTest::newRow("spaces") << QStringLiteral(" pass word ");
    QTest::newRow("code page") << QStringLiteral("Pässwörd€…");
}

void TestCrypt::roundTrips()
{
    QFETCH(QString, password);
    const QString scrambled = EncryptPassword(password);
    QCOMPARE(scrambled.size(), 2 * password.size());
    QVERIFY(!scrambled.contains(u' '));
    QCOMPARE(scrambled, scrambled.toUpper());
    QCOMPARE(DecryptPassword(scrambled), password);
}

void TestCrypt::decodesMalformedFields()
{
    QCOMPARE(DecryptPassword(QStringLiteral("2e")), QStringLiteral("z"));
    // An odd length decodes its last digit alone: 0x04 ^ '%' = '!'.
    QCOMPARE(DecryptPassword(QStringLiteral("35134")), QStringLiteral("ab!"));
    // A pair reads up to its first non-digit: "1G" is 1, "G1" is 0.
    QCOMPARE(DecryptPassword(QStringLiteral("1G")), QString(QChar(0x01 ^ 'T')));
    QCOMPARE(DecryptPassword(QStringLiteral("G1")), QStringLiteral("T"));
    // Scrambling what was decoded gives back any even-length upper-case hex text.
    for (const QString& stored : {QStringLiteral("00FF7A10"), QStringLiteral("8081909D")})
        QCOMPARE(EncryptPassword(DecryptPassword(stored)), stored);
    // A character outside the code page is stored as "?".
    QCOMPARE(DecryptPassword(EncryptPassword(QStringLiteral("日x"))), QStringLiteral("?x"));
}

QTEST_GUILESS_MAIN(TestCrypt)
#include "tst_crypt.moc"
