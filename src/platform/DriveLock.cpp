// A drive letter's lock: one connect at a time on a letter.
#include "platform/DriveLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

DriveLock::DriveLock(QString path)
    : m_path(std::move(path))
{ }

bool DriveLock::tryAcquire()
{
    if (!m_file.isValid())
        m_file.reset(::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    int result = -1;
    while (m_file.isValid() && (result = flock(m_file.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) { }
    return result == 0;
}
