// Mount tables: any bytes in the kernel's mountinfo format, and tables written from arbitrary mount points with
// the kernel's own escaping.
#include "FuzzCheck.h"
#include "platform/MountTable.h"

namespace {

// The kernel writes space, tab, newline and backslash in a path as a backslash and three octal digits.
QByteArray kernelEscaped(QByteArrayView path)
{
    QByteArray escaped;
    for (const char c : path) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
            escaped += '\\' + QByteArray::number(static_cast<unsigned char>(c), 8).rightJustified(3, '0');
        else
            escaped += c;
    }
    return escaped;
}

bool sameMount(const Mount& a, const Mount& b)
{
    return a.mountPoint == b.mountPoint && a.fileSystemType == b.fileSystemType && a.source == b.source;
}

// A table read within a folder lists what the whole table lists on that folder and below it, in the same order.
// Folders are taken from the table's own mount points; one whose bytes are not UTF-8 has no name to ask with.
void checkWithin(const QByteArray& table, const QList<Mount>& mounts)
{
    for (qsizetype i = 0; i < std::min<qsizetype>(mounts.size(), 4); ++i) {
        const QString& point = mounts[i].mountPoint;
        for (const QString& folder : {point, point.left(point.lastIndexOf(u'/'))}) {
            if (folder.isEmpty() || folder.contains(QChar::ReplacementCharacter))
                continue;
            QList<Mount> expected;
            std::copy_if(mounts.cbegin(), mounts.cend(), std::back_inserter(expected), [&folder](const Mount& m) {
                return m.mountPoint == folder || m.mountPoint.startsWith(folder + u'/');
            });
            const QList<Mount> within = MountTable::parse(table, folder);
            Fuzz::require(std::equal(within.cbegin(), within.cend(), expected.cbegin(), expected.cend(), sameMount),
                          "a table read within a folder keeps the mounts on it and below it");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const QByteArray input = Fuzz::bytes(data, size).toByteArray();
    checkWithin(input, MountTable::parse(input));

    // Zero bytes, which no path holds, part the input into mount points for a table of the kernel's making.
    QByteArrayList points = input.split('\0');
    points.removeAll(QByteArray());
    QByteArray table;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QByteArray id = QByteArray::number(i + 20);
        table += id + " 1 0:" + id + " / " + kernelEscaped(points[i]) + " rw,nosuid shared:1 - fuse.rclone "
            + kernelEscaped(points[i]) + " rw\n";
    }
    const QList<Mount> mounts = MountTable::parse(table);
    Fuzz::require(mounts.size() == points.size(), "every line of the kernel's making is a mount");
    for (qsizetype i = 0; i < mounts.size(); ++i) {
        Fuzz::require(mounts[i].mountPoint == QString::fromUtf8(points[i]),
                      "a mount point is the path the kernel wrote");
        Fuzz::require(mounts[i].source == QString::fromUtf8(points[i]), "a source is the one the kernel wrote");
        Fuzz::require(mounts[i].fileSystemType == u"fuse.rclone", "the type follows the separator");
    }
    checkWithin(table, mounts);
    return 0;
}
