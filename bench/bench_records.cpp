// Times filling the Records pane from record files of 1,000 and 32,767 saved slots, and the editor's scan for the
// slot of a new record through them.
#include "platform/ConsoleMessageBoxes.h"
#include "platform/ProcessSignals.h"
#include "records/RecordForm.h"
#include "records/RecordList.h"
#include "support/FakeWnet.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray savedSlots(int count)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * DriveRecord::SlotSize);
    for (int slot = 1; slot <= count; ++slot) {
        DriveRecord record;
        record.RecordName = QStringLiteral("Record %1").arg(slot);
        record.RemoteName = QStringLiteral("\\\\fileserver%1\\share%2").arg(slot % 7).arg(slot);
        record.UserName = QStringLiteral("user%1").arg(slot % 13);
        record.Password = QStringLiteral("351346");
        record.AutoConnect = QString::fromLatin1(slot % 3 ? "T" : "F");
        record.AutoMap = QString::fromLatin1(slot % 5 ? "F" : "T");
        record.LocalDrive = QStringLiteral("K:");
        record.PromptPassword = QStringLiteral("F");
        record.RecordNumber = static_cast<qint16>(slot);
        bytes += record.toSlot();
    }
    return bytes;
}

double medianMs(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return double(nanoseconds.at(nanoseconds.size() / 2)) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ConsoleMessageBoxes messages;
    FakeWnet wnet;
    constexpr int Runs = 11;

    std::printf("%-8s %14s %14s %14s %8s\n", "slots", "listing (ms)", "UpdateRecords", "new slot (ms)", "rows");
    for (const int count : {1000, int(RecordFile::LastSlot)}) {
        QTemporaryDir folder;
        QFile file(folder.filePath(QString::fromLatin1(RecordFile::FileName)));
        if (!file.open(QIODevice::WriteOnly) || file.write(savedSlots(count)) < 0)
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
        std::printf("%-8d %14.2f %14.2f %14.2f %8d\n", count, medianMs(listing), medianMs(update), medianMs(newSlot),
                    window.lsvRecords->model()->rowCount());
    }
    std::printf(
        "median of %d runs; UpdateRecords re-reads the file and rebuilds the pane; a full file has no new slot\n",
        Runs);
    return 0;
}
