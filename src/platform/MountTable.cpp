#include "platform/MountTable.h"

#include <QFile>
#include <QSet>

#include <algorithm>

namespace {

// The kernel writes space, tab, newline and backslash in paths as a backslash and three octal digits.
QByteArray unescape(QByteArrayView field)
{
    if (!field.contains('\\'))
        return field.toByteArray();
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            out.append(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

} // namespace

namespace MountTable {

QList<Mount> read(const QString& mountInfoPath, const QString& within)
{
    QFile file(mountInfoPath);
    // /proc files report no size: read them to their end in one go.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return parse(file.readAll(), within);
}

QList<Mount> parse(const QByteArray& mountInfo, const QString& within)
{
    // A line: id parent major:minor root mount-point options [optional fields...] - type source super-options.
    // Only the mount point is unescaped for every line: a scan of all letters reads the table 25 times.
    const QByteArray folder = within.toUtf8();
    QList<Mount> mounts;
    const QByteArrayView table(mountInfo);
    const auto field = [&table](qsizetype& at, qsizetype end) {
        const qsizetype start = at;
        qsizetype stop = table.indexOf(' ', start);
        if (stop < 0 || stop > end)
            stop = end;
        at = stop + 1;
        return table.sliced(start, stop - start);
    };
    qsizetype lineStart = 0;
    while (lineStart < table.size()) {
        qsizetype lineEnd = table.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = table.size();
        qsizetype at = lineStart;
        lineStart = lineEnd + 1;
        for (int skipped = 0; skipped < 4 && at < lineEnd; ++skipped)
            field(at, lineEnd);
        if (at >= lineEnd)
            continue;
        const QByteArrayView escaped = field(at, lineEnd);
        // Most lines are other mounts: tell them by their first bytes, before anything is copied.
        const qsizetype plain
            = std::min(escaped.indexOf('\\') < 0 ? escaped.size() : escaped.indexOf('\\'), folder.size());
        if (!escaped.first(plain).startsWith(QByteArrayView(folder).first(plain)))
            continue;
        const QByteArray mountPoint = unescape(escaped);
        if (!folder.isEmpty()
            && !(mountPoint.startsWith(folder)
                 && (mountPoint.size() == folder.size() || mountPoint.at(folder.size()) == '/')))
            continue;
        qsizetype separator = table.indexOf(" - ", at - 1);
        if (separator < 0 || separator >= lineEnd)
            continue;
        at = separator + 3;
        const QByteArrayView type = field(at, lineEnd);
        if (at > lineEnd)
            continue;
        const QByteArrayView source = field(at, lineEnd);
        mounts.append(
            {QString::fromUtf8(mountPoint), QString::fromUtf8(unescape(type)), QString::fromUtf8(unescape(source))});
    }
    return mounts;
}

const Mount* find(const QList<Mount>& mounts, const QString& path)
{
    for (auto mount = mounts.crbegin(); mount != mounts.crend(); ++mount) {
        if (mount->mountPoint == path)
            return &*mount;
    }
    return nullptr;
}

bool isNetworkFileSystem(const QString& type)
{
    static const QSet<QString> network {
        QStringLiteral("cifs"),
        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),
        QStringLiteral("nfs"),
        QStringLiteral("nfs4"),
        QStringLiteral("ncpfs"),
        QStringLiteral("afs"),
        QStringLiteral("coda"),
        QStringLiteral("ceph"),
        QStringLiteral("9p"),
        QStringLiteral("davfs"),
        QStringLiteral("glusterfs"),
        QStringLiteral("fuse.rclone"),
        QStringLiteral("fuse.sshfs"),
        QStringLiteral("fuse.smbnetfs"),
        QStringLiteral("fuse.davfs2"),
        QStringLiteral("fuse.curlftpfs"),
        QStringLiteral("fuse.s3fs"),
        QStringLiteral("fuse.glusterfs"),
        QStringLiteral("fuse.gvfsd-fuse"),
    };
    return network.contains(type);
}

} // namespace MountTable
