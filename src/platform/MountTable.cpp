#include "platform/MountTable.h"

#include <QFile>
#include <QSet>

namespace {

// The kernel writes space, tab, newline and backslash in paths as a backslash and three octal digits.
QString unescape(QByteArrayView field)
{
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
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
    return QString::fromUtf8(out);
}

} // namespace

namespace MountTable {

QList<Mount> read(const QString& mountInfoPath)
{
    QFile file(mountInfoPath);
    // /proc files report no size: read them to their end in one go.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return parse(file.readAll());
}

QList<Mount> parse(const QByteArray& mountInfo)
{
    // A line: id parent major:minor root mount-point options [optional fields...] - type source super-options
    QList<Mount> mounts;
    QList<QByteArrayView> fields;
    const QByteArrayView table(mountInfo);
    qsizetype lineStart = 0;
    while (lineStart < table.size()) {
        qsizetype lineEnd = table.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = table.size();
        fields.clear();
        qsizetype fieldStart = lineStart;
        while (fieldStart < lineEnd) {
            qsizetype fieldEnd = table.indexOf(' ', fieldStart);
            if (fieldEnd < 0 || fieldEnd > lineEnd)
                fieldEnd = lineEnd;
            if (fieldEnd > fieldStart)
                fields.append(table.sliced(fieldStart, fieldEnd - fieldStart));
            fieldStart = fieldEnd + 1;
        }
        lineStart = lineEnd + 1;
        const qsizetype separator = fields.indexOf(QByteArrayView("-"));
        if (separator < 6 || separator + 2 >= fields.size())
            continue;
        mounts.append({unescape(fields[4]), unescape(fields[separator + 1]), unescape(fields[separator + 2])});
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
