// Writes a new record file from tab-separated lines on standard input, slot n for line n, as the editor saves them.
#include "records/RecordFile.h"
#include "records/RecordForm.h"

#include <QFileInfo>
#include <QList>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int fail(const QString& what)
{
    std::fprintf(stderr, "sharemount-demorecords: %s\n", qPrintable(what));
    return 1;
}

int failOnLine(qsizetype line, const char* what)
{
    return fail(QStringLiteral("line %1: %2").arg(line).arg(QLatin1String(what)));
}

} // namespace

int main(int argc, char** argv)
{
    // Passwords come on standard input, never as arguments, which any user can read in a process listing.
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: sharemount-demorecords FILE < records\n"
                     "  one record a line, fields separated by tabs: name, remote, user, password, drive,\n"
                     "  then T or F for auto-connect, auto-map and prompt for password\n");
        return 2;
    }
    QList<DriveRecord> records;
    for (std::string text; std::getline(std::cin, text);) {
        const qsizetype line = records.size() + 1;
        if (line > RecordFile::LastSlot)
            return failOnLine(line, "more records than a file has slots");
        const QStringList fields = QString::fromStdString(text).split(u'\t');
        if (fields.size() != 8)
            return failOnLine(line, "expected 8 fields separated by tabs");
        bool flags[3] = {};
        for (int i = 0; i < 3; ++i) {
            if (fields[5 + i] != u"T" && fields[5 + i] != u"F")
                return failOnLine(line, "the last three fields must each be T or F");
            flags[i] = fields[5 + i] == u"T";
        }
        const RecordForm form {fields[0], fields[1], fields[2], fields[3], fields[4], flags[0], flags[1], flags[2]};
        if (RecordRules::saveRefusal(form) != RecordRules::Refusal::None)
            return failOnLine(line, "a record needs a name, a remote name, and a drive unless it is auto-mapped");
        records << RecordRules::toRecord(form, static_cast<qint16>(line));
        // The slot cuts its texts to their widths: a record that would not read back as given is refused.
        if (DriveRecord::fromSlot(records.last().toSlot()) != records.last())
            return failOnLine(line, "a text is too long for its field, ends in a space or is not in Windows-1252");
    }
    if (records.isEmpty())
        return fail(QStringLiteral("no records on standard input"));

    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return fail(path + QStringLiteral(" exists already"));
    RecordFile file;
    if (!file.open(path))
        return fail(file.errorString());
    for (const DriveRecord& record : std::as_const(records)) {
        if (!file.write(record.RecordNumber, record))
            return fail(file.errorString());
    }
    return 0;
}
