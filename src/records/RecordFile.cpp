// The record file: a plain array of 212-byte slots, numbered from 1, with no header.
#include "RecordFile.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

off_t slotOffset(qint16 slot)
{
    return static_cast<off_t>(slot - 1) * DriveRecord::SlotSize;
}

// Reads up to size bytes; fewer only at the end of the file.
ssize_t readFully(int fd, char* data, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(int fd, const char* data, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

RecordFile::~RecordFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString RecordFile::unusable(qint16 slot) const
{
    return m_fd < 0 ? QStringLiteral("the file is not open") : QStringLiteral("there is no slot %1").arg(slot);
}

bool RecordFile::fail(const QString& what, int error) const
{
    return fail(what, QString::fromLocal8Bit(strerror(error)));
}

bool RecordFile::fail(const QString& what, const QString& reason) const
{
    m_error = QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(m_path), reason);
    m_reason = reason;
    return false;
}

bool RecordFile::open(const QString& path)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_path = path;
    m_readOnly = false;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK keeps a FIFO planted under the file's name from hanging the open.
    constexpr int Flags = O_RDWR | O_CLOEXEC | O_NONBLOCK;
    m_fd = ::open(name.constData(), Flags);
    if (m_fd < 0 && (errno == EACCES || errno == EROFS)) {
        // A file an administrator hands out read-only can still be looked at and connected.
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        m_readOnly = m_fd >= 0;
    } else if (m_fd < 0 && errno == ENOENT) {
        // O_EXCL never follows a symbolic link to create its target somewhere else.
        m_fd = ::open(name.constData(), Flags | O_CREAT | O_EXCL, 0600);
        if (m_fd < 0 && errno == EEXIST)
            m_fd = ::open(name.constData(), Flags);
    }
    if (m_fd < 0) {
        const int error = errno;
        struct stat link = {};
        if (error == ENOENT && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return fail(QStringLiteral("Cannot open"), QStringLiteral("a link to a file that does not exist"));
        return fail(QStringLiteral("Cannot open"), error);
    }

    struct stat st = {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        return S_ISREG(st.st_mode) ? fail(QStringLiteral("Cannot open"), error)
                                   : fail(QStringLiteral("Cannot open"), QStringLiteral("not a regular file"));
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    // The file holds passwords: an older copy that others could read is closed to them.
    if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0)
        ::fchmod(m_fd, st.st_mode & 0700);
    m_error.clear();
    return true;
}

std::optional<DriveRecord> RecordFile::read(qint16 slot) const
{
    if (m_fd < 0 || slot < 1) {
        fail(QStringLiteral("Cannot read"), unusable(slot));
        return std::nullopt;
    }
    char bytes[DriveRecord::SlotSize];
    const ssize_t n = readFully(m_fd, bytes, sizeof bytes, slotOffset(slot));
    if (n < 0) {
        fail(QStringLiteral("Cannot read"), errno);
        return std::nullopt;
    }
    return DriveRecord::fromSlot(QByteArrayView(bytes, n));
}

bool RecordFile::write(qint16 slot, const DriveRecord& record)
{
    if (m_fd < 0 || slot < 1)
        return fail(QStringLiteral("Cannot write"), unusable(slot));
    if (m_readOnly)
        return fail(QStringLiteral("Cannot write"), QStringLiteral("the file may only be read"));
    const off_t offset = slotOffset(slot);
    struct stat st = {};
    if (::fstat(m_fd, &st) != 0)
        return fail(QStringLiteral("Cannot write"), errno);
    char before[DriveRecord::SlotSize];
    const ssize_t kept = readFully(m_fd, before, sizeof before, offset);
    if (kept < 0)
        return fail(QStringLiteral("Cannot write"), errno);

    const QByteArray bytes = record.toSlot();
    int error = 0;
    if (!writeFully(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), offset))
        error = errno;
    else if (::fdatasync(m_fd) != 0)
        error = errno;
    if (error == 0) {
        m_error.clear();
        return true;
    }
    // Put back what the slot held, so that no half record stays behind (a full disk, a size limit) and
    // a save reported as failed is not seen by the next read either.
    if (offset + DriveRecord::SlotSize > st.st_size)
        while (::ftruncate(m_fd, st.st_size) != 0 && errno == EINTR) { }
    if (kept > 0)
        writeFully(m_fd, before, static_cast<size_t>(kept), offset);
    return fail(QStringLiteral("Cannot write"), error);
}

qint64 RecordFile::slotCount() const
{
    struct stat st = {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return (st.st_size + DriveRecord::SlotSize - 1) / DriveRecord::SlotSize;
}

QString findRecordFileName(const QString& folder)
{
    // The filter matches without regard to case; leaving out QDir::Hidden and QDir::System drops dot
    // files, FIFOs, sockets, devices and dangling links, and QDir::Files drops folders.
    const QString wanted = QString::fromLatin1(RecordFile::FileName);
    const QStringList names = QDir(folder).entryList({wanted}, QDir::Files, QDir::Name);
    return names.contains(wanted) ? wanted : names.value(0);
}

bool isRecordFileMissing(const QString& folder)
{
    const QString name = QString::fromLatin1(RecordFile::FileName);
    const QFileInfo entry(QDir(folder).filePath(name));
    return findRecordFileName(folder) != name && !entry.exists() && !entry.isSymLink();
}
