// The auto-connect batch: from record 1, one due record a timer tick, until the fourth empty slot.
#pragma once

#include "connect/ConnectRules.h"

#include <QString>
#include <QtGlobal>

class AutoConnectBatch
{
public:
    // The current record, which the batch moves through the record file.
    class Cursor
    {
    public:
        virtual ~Cursor() = default;
        virtual qint16 position() const = 0;
        // Makes slot the current record.
        virtual void moveTo(qint16 slot) = 0;
        // A record is due when it has a remote name and is flagged for auto-connect; a slot without a remote
        // name (deleted, never written, past the end of the file) is empty.
        virtual bool isDue() const = 0;
        virtual bool isEmpty() const = 0;
    };

    enum class Step {
        None,
        Connect, // connect the current record, then call connected()
        Done, // the batch has ended, with record 1 current
    };

    // Starts the batch over at the next tick.
    void request();
    // For every timer tick. A tick while the previous step is still under way (a dialog open, a mount being
    // made) only counts.
    Step tick(Cursor& cursor, bool stepUnderWay);
    // After the connect of Step::Connect, with how it ended and the status text it left.
    void connected(Cursor& cursor, ConnectOutcome outcome, const QString& statusText);

    bool isActive() const { return StartAutoConnect || AutoConnectRunning; }
    // Of the batch that ended last or runs now.
    bool allConnected() const { return m_allConnected; }
    QString lastFailure() const { return m_lastFailure; }

    bool StartAutoConnect = false;
    bool AutoConnectRunning = false;
    qint32 TickCount = 0; // ticks since the program started
    qint32 StartTick = 0; // the tick that started the batch
    qint32 EmptyCount = 0; // empty slots met since then

private:
    // Moves to the next slot; false at the last slot a record number can name.
    bool advance(Cursor& cursor);
    Step finish(Cursor& cursor);

    bool m_atLastSlot = false;
    bool m_allConnected = true;
    QString m_lastFailure;
};
