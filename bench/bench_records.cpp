// Times filling the Records pane from record files of 1,000 and 32,767 saved slots, and the editor's scan for the
// slot of a new record through them. Prints rows for the bench target's table.
#include "BenchSupport.h"
#include "platform/ConsoleMessageBoxes.h"
#include "platform/ProcessSignals.h"
#include "records/RecordForm.h"
#include "records/RecordList.h"
#include "support/FakeWnet.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTreeView>

using Bench::medianMs;

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ConsoleMessageBoxes messages;
    FakeWnet wnet;
    constexpr int Runs = 11;

    for (const int count : {1000, int(RecordFile::LastSlot)}) {
        QTemporaryDir folder;
        QFile file(folder.filePath(QString::fromLatin1(RecordFile::FileName)));
        if (!file.open(QIODevice::WriteOnly) || file.write(Bench::savedSlots(count)) < 0)
            return 1;
        file.close();

        frmMain window({messages, wnet, folder.path()}, {});
        if (window.Form_Load() != frmMain::Startup::Running)
            return 1;
        RecordFile records;
        records.open(file.fileName());

        QList<qint64> listing, update, newSlot;
        QElapsedTimer clock;
        for (int run = 0; run < Runs; ++run) {
            clock.start();
            const RecordListing rows = listRecords(records);
            listing.append(clock.nsecsElapsed());
            clock.start();
            window.UpdateRecords();
            // The pane lays itself out before it can paint: count that too.
            window.lsvRecords->doItemsLayout();
            update.append(clock.nsecsElapsed());
            // No gaps: the scan reads every slot from 2 to the end.
            clock.start();
            const RecordRules::NewSlot found = RecordRules::newRecordSlot(records, 1);
            newSlot.append(clock.nsecsElapsed());
            if (rows.rows.size() != count || found.slot.value_or(0) != (count < RecordFile::LastSlot ? count + 1 : 0))
                return 1;
        }
        const QString slotCount = QLocale(QLocale::English).toString(count);
        const QString ms = QStringLiteral("ms");
        // UpdateRecords re-reads the file and rebuilds the pane.
        Bench::row(QStringLiteral("Records pane fill, %1 slots (median of %2)").arg(slotCount).arg(Runs),
                   medianMs(update), 2, ms, {},
                   QStringLiteral("of which reading the listing %1").arg(medianMs(listing), 0, 'f', 2));
        // A full file has no new slot: the scan reads every slot from 2 to the end either way.
        Bench::row(QStringLiteral("Editor's scan for a new record's slot, %1 slots").arg(slotCount), medianMs(newSlot),
                   2, ms);
    }
    return 0;
}
