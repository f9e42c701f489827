// The connection engine's rules without a window: the auto-connect batch and the layer's thread. The drive-letter
// scans and the choice of drive are tested through the main window with the fake layer.
#include "connect/AutoConnectBatch.h"
#include "connect/ConnectRules.h"
#include "connect/LayerCall.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

// Slots as letters: D due and connected, F due and failed, C due and cancelled, N saved but not due, anything else
// empty; slots past the text are empty.
class SlotCursor final : public AutoConnectBatch::Cursor
{
public:
    explicit SlotCursor(QString slotTexts)
        : m_slots(std::move(slotTexts))
    { }

    qint16 position() const override { return m_position; }
    void moveTo(qint16 slot) override
    {
        QVERIFY2(slot >= 1, "the cursor left the record file");
        m_position = slot;
    }
    bool isDue() const override { return QStringLiteral("DFC").contains(kind()); }
    bool isEmpty() const override { return !isDue() && kind() != u'N'; }
    ConnectOutcome outcome() const
    {
        return kind() == u'D' ? ConnectOutcome::Connected
                              : (kind() == u'F' ? ConnectOutcome::Failed : ConnectOutcome::Cancelled);
    }

private:
    QChar kind() const { return m_position <= m_slots.size() ? m_slots[m_position - 1] : QChar(u'x'); }

    QString m_slots;
    qint16 m_position = 1;
};

// Runs a requested batch to its end: the slot and tick of each connect, then the tick that ended it. Each tick
// comes first while a step is under way, which only counts, and then again.
QList<int> runBatch(AutoConnectBatch& batch, SlotCursor& cursor)
{
    QList<int> steps;
    for (int tick = 1; tick <= 20; ++tick) {
        if (batch.tick(cursor, true) != AutoConnectBatch::Step::None)
            return steps << -1;
        batch.TickCount -= 1;
        switch (batch.tick(cursor, false)) {
        case AutoConnectBatch::Step::Connect:
            steps << cursor.position() << batch.TickCount;
            batch.connected(cursor, cursor.outcome(), QStringLiteral("slot %1 failed").arg(cursor.position()));
            break;
        case AutoConnectBatch::Step::Done:
            return steps << batch.TickCount;
        case AutoConnectBatch::Step::None:
            break;
        }
    }
    return steps;
}

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void runsTheBatch_data();
    void runsTheBatch();
    void callsTheLayerOffTheCallersThread();
};

void TestConnect::runsTheBatch_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<QList<int>>("steps"); // slot, tick, slot, tick... then the tick of the end
    QTest::addColumn<bool>("allConnected");
    QTest::addColumn<QString>("lastFailure");

    QTest::newRow("empty file") << QString() << QList<int>({2}) << true << QString();
    // Ends at the fourth empty slot, the third past the end of the file.
    QTest::newRow("a gap") << QStringLiteral("DDDxD") << QList<int>({1, 2, 2, 3, 3, 4, 5, 6, 7}) << true << QString();
    QTest::newRow("records not due are passed over")
        << QStringLiteral("NNDN") << QList<int>({3, 3, 4}) << true << QString();
    // Empty slots count wherever they lie; what follows the fourth is not connected.
    QTest::newRow("four gaps") << QStringLiteral("DxDxxxD") << QList<int>({1, 2, 3, 4, 5}) << true << QString();
    QTest::newRow("four in a row") << QStringLiteral("DxxxxD") << QList<int>({1, 2, 3}) << true << QString();
    // The last failure is kept past later connects; a cancel is no failure, but leaves a record unconnected.
    QTest::newRow("failures") << QStringLiteral("DFCFD") << QList<int>({1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 7}) << false
                              << QStringLiteral("slot 4 failed");
    QTest::newRow("a cancel") << QStringLiteral("C") << QList<int>({1, 2, 3}) << false << QString();
    // Every slot saved, the last one due: the cursor stops there instead of wrapping to a negative slot.
    QTest::newRow("the last slot") << QString(32766, u'N') + u'F' << QList<int>({32767, 3, 4}) << false
                                   << QStringLiteral("slot 32767 failed");
}

void TestConnect::runsTheBatch()
{
    QFETCH(QString, records);
    QFETCH(QList<int>, steps);
    QFETCH(bool, allConnected);
    QFETCH(QString, lastFailure);
    AutoConnectBatch batch;
    SlotCursor failing(QStringLiteral("F"));
    QCOMPARE(batch.tick(failing, false), AutoConnectBatch::Step::None); // nothing requested
    // A batch that failed before: the next one reports only its own outcomes.
    batch.request();
    QCOMPARE(runBatch(batch, failing), QList<int>({1, 3, 4}));
    QVERIFY(!batch.allConnected());

    batch.TickCount = 0;
    batch.request();
    SlotCursor cursor(records);
    QCOMPARE(runBatch(batch, cursor), steps);
    QVERIFY(!batch.isActive());
    QCOMPARE(cursor.position(), qint16(1));
    QCOMPARE(batch.allConnected(), allConnected);
    QCOMPARE(batch.lastFailure(), lastFailure);
}

void TestConnect::callsTheLayerOffTheCallersThread()
{
    LayerCall layer;
    // The call can only end once the caller's own events have run while it waited.
    QSemaphore callerRan;
    QTimer::singleShot(0, this, [&callerRan] { callerRan.release(); });
    QList<int> order;
    const QThread* caller = QThread::currentThread();
    const bool elsewhere = layer([&] {
        order << 1;
        return callerRan.tryAcquire(1, 10000) && QThread::currentThread() != caller;
    });
    QVERIFY(elsewhere);
    layer.run([&order] { order << 2; });
    QCOMPARE(order, QList<int>({1, 2}));
}

QTEST_GUILESS_MAIN(TestConnect)
#include "tst_connect.moc"
