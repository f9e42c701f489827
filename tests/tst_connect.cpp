// The connection engine's rules without a window: the auto-connect batch and the layer's thread. The drive-letter
// scans and the choice of drive are tested through the main window with the fake layer.
#include "connect/AutoConnectBatch.h"
#include "connect/ConnectRules.h"
#include "connect/LayerCall.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <limits>

namespace {

// Slots as letters: D due, N saved but not due, anything else empty; slots past the text are empty.
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
    bool isDue() const override { return kind() == u'D'; }
    bool isEmpty() const override { return kind() != u'D' && kind() != u'N'; }

private:
    QChar kind() const { return m_position <= m_slots.size() ? m_slots[m_position - 1] : QChar(u'x'); }

    QString m_slots;
    qint16 m_position = 1;
};

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void runsTheBatch_data();
    void runsTheBatch();
    void endsTheBatchAtTheLastSlot();
    void callsTheLayerOffTheCallersThread();
};

void TestConnect::runsTheBatch_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<QList<int>>("connects"); // slot, tick, slot, tick...
    QTest::addColumn<int>("doneAt");

    QTest::newRow("empty file") << QString() << QList<int>() << 2;
    // Ends at the fourth empty slot, the third past the end of the file.
    QTest::newRow("a gap") << QStringLiteral("DDDxD") << QList<int>({1, 2, 2, 3, 3, 4, 5, 6}) << 7;
    QTest::newRow("records not due are passed over") << QStringLiteral("NNDN") << QList<int>({3, 3}) << 4;
    // Empty slots count wherever they lie; what follows the fourth is not connected.
    QTest::newRow("four gaps") << QStringLiteral("DxDxxxD") << QList<int>({1, 2, 3, 4}) << 5;
    QTest::newRow("four in a row") << QStringLiteral("DxxxxD") << QList<int>({1, 2}) << 3;
}

void TestConnect::runsTheBatch()
{
    QFETCH(QString, records);
    QFETCH(QList<int>, connects);
    QFETCH(int, doneAt);
    SlotCursor cursor(records);
    AutoConnectBatch batch;
    QCOMPARE(batch.tick(cursor, false), AutoConnectBatch::Step::None); // nothing requested
    batch.TickCount = 0;
    batch.request();

    QList<int> seen;
    int done = 0;
    for (int tick = 1; tick <= 20 && !done; ++tick) {
        // A tick while a step is under way only counts; the same tick again then runs the step.
        QCOMPARE(batch.tick(cursor, true), AutoConnectBatch::Step::None);
        batch.TickCount -= 1;
        switch (batch.tick(cursor, false)) {
        case AutoConnectBatch::Step::Connect:
            seen << cursor.position() << batch.TickCount;
            batch.connected(cursor, ConnectOutcome::Connected, QStringLiteral("Connected to Share."));
            break;
        case AutoConnectBatch::Step::Done:
            done = batch.TickCount;
            break;
        case AutoConnectBatch::Step::None:
            break;
        }
    }
    QCOMPARE(seen, connects);
    QCOMPARE(done, doneAt);
    QVERIFY(!batch.isActive());
    QCOMPARE(cursor.position(), qint16(1));
    QVERIFY(batch.allConnected());
    QVERIFY(batch.lastFailure().isEmpty());
}

void TestConnect::endsTheBatchAtTheLastSlot()
{
    // Every slot saved, the last one due: the cursor stops there instead of wrapping to a negative slot.
    class FullFile final : public AutoConnectBatch::Cursor
    {
    public:
        qint16 position() const override { return slot; }
        void moveTo(qint16 to) override
        {
            QVERIFY(to >= 1);
            slot = to;
        }
        bool isDue() const override { return slot == std::numeric_limits<qint16>::max(); }
        bool isEmpty() const override { return false; }
        qint16 slot = 1;
    } cursor;
    AutoConnectBatch batch;
    batch.request();
    QCOMPARE(batch.tick(cursor, false), AutoConnectBatch::Step::None);
    QCOMPARE(batch.tick(cursor, false), AutoConnectBatch::Step::None);
    QCOMPARE(batch.tick(cursor, false), AutoConnectBatch::Step::Connect);
    QCOMPARE(cursor.slot, std::numeric_limits<qint16>::max());
    batch.connected(cursor, ConnectOutcome::Failed, QStringLiteral("ERROR: Bad Net Name! - Connect Failed!"));
    QCOMPARE(batch.tick(cursor, false), AutoConnectBatch::Step::Done);
    QCOMPARE(cursor.slot, qint16(1));
    QVERIFY(!batch.allConnected());
    QCOMPARE(batch.lastFailure(), QStringLiteral("ERROR: Bad Net Name! - Connect Failed!"));

    // A new batch forgets the last one's failures; a cancel is no failure, but leaves a record unconnected.
    batch.request();
    batch.tick(cursor, false);
    batch.connected(cursor, ConnectOutcome::Cancelled, QStringLiteral("Connect Cancelled"));
    QVERIFY(batch.lastFailure().isEmpty());
    QVERIFY(!batch.allConnected());
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
