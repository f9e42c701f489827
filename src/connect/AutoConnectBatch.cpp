// The auto-connect batch: from record 1, one due record a timer tick, until the fourth empty slot.
#include "connect/AutoConnectBatch.h"

#include <limits>

void AutoConnectBatch::request()
{
    StartAutoConnect = true;
}

AutoConnectBatch::Step AutoConnectBatch::tick(Cursor& cursor, bool stepUnderWay)
{
    ++TickCount;
    if (stepUnderWay)
        return Step::None;
    if (StartAutoConnect) {
        // The first record is looked at on the next tick.
        EmptyCount = 0;
        StartTick = TickCount;
        StartAutoConnect = false;
        AutoConnectRunning = true;
        m_atLastSlot = false;
        m_allConnected = true;
        m_lastFailure.clear();
        return Step::None;
    }
    if (!AutoConnectRunning || TickCount <= StartTick)
        return Step::None;
    if (m_atLastSlot)
        return finish(cursor);
    if (cursor.isDue())
        return Step::Connect;
    // Records that are not due are passed over within the tick, up to the next due one.
    for (;;) {
        if (cursor.isDue())
            return Step::None;
        if (cursor.isEmpty())
            ++EmptyCount;
        if (EmptyCount > 3 || !advance(cursor))
            return finish(cursor);
    }
}

void AutoConnectBatch::connected(Cursor& cursor, ConnectOutcome outcome, const QString& statusText)
{
    if (outcome != ConnectOutcome::Connected)
        m_allConnected = false;
    if (outcome == ConnectOutcome::Failed)
        m_lastFailure = statusText;
    m_atLastSlot = !advance(cursor);
}

bool AutoConnectBatch::advance(Cursor& cursor)
{
    if (cursor.position() == std::numeric_limits<qint16>::max())
        return false;
    cursor.moveTo(qint16(cursor.position() + 1));
    return true;
}

AutoConnectBatch::Step AutoConnectBatch::finish(Cursor& cursor)
{
    AutoConnectRunning = false;
    cursor.moveTo(1);
    return Step::Done;
}
