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
    void scrambles_data();
    void scrambles();
    void decodesMalformedFields();
};

void TestCrypt::scrambles_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("scrambled"); // null: only decoded back
    QTest::newRow("empty") << QString() << QString();
    // 'a'^'T' = 0x35, 'b'^'q' = 0x13, 'c'^'%' = 0x46.
    QTest::newRow("abc") << "abc"
                         << "351346";
    // 'z'^'T' = 0x2E: letters come out in upper case.
    QTest::newRow("upper-case hex") << "z"
                                    << "2E";
    // The key against itself gives "00" for each key character once, and decodes back; character 18 meets key
    // character 1 again.
    QTest::newRow("key wraps") << Key + u'a' << QString(34, u'0') + QStringLiteral("35");
    QTest::newRow("fifty") << QString(50, u'p') << QString();
    QTest::newRow("spaces") << " pass word " << QString();
    QTest::newRow("code page") << "Pässwörd€…" << QString();
}

void TestCrypt::scrambles()
{
    QFETCH(QString, password);
    QFETCH(QString, scrambled);
    const QString result = EncryptPassword(password);
    if (!scrambled.isNull())
        QCOMPARE(result, scrambled);
    QCOMPARE(result.size(), 2 * password.size());
    QVERIFY(!result.contains(u' '));
    QCOMPARE(result, result.toUpper());
    QCOMPARE(DecryptPassword(result), password);
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
