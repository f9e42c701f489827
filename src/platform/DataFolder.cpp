// Where the record file lives on Linux.
#include "DataFolder.h"

#include "records/RecordFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DataFolder {

QString home(const QProcessEnvironment& environment)
{
    if (QString folder = environment.value(QStringLiteral("HOME")); QDir::isAbsolutePath(folder))
        return folder;
    const passwd* account = ::getpwuid(::getuid());
    return account && account->pw_dir ? QFile::decodeName(account->pw_dir) : QDir::rootPath();
}

QString choose(const QProcessEnvironment& environment, const QString& programFolder)
{
    if (const QString folder = environment.value(QStringLiteral("SHAREMOUNT_DATA_DIR")); !folder.isEmpty())
        return folder;
    if (findRecordFileName(programFolder) == QLatin1String(RecordFile::FileName))
        return programFolder;
    // An XDG_DATA_HOME or HOME that is empty or relative is ignored, as if unset.
    QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = home(environment) + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/ShareMount");
}

bool create(const QString& folder, QString* error)
{
    QString path;
    for (const QString& part : QDir(folder).absolutePath().split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        if (QFileInfo(path).isDir())
            continue;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
            continue;
        const int failure = errno;
        // Another program may have made it meanwhile.
        if (failure == EEXIST && QFileInfo(path).isDir())
            continue;
        *error = QStringLiteral("Cannot create the folder %1: %2").arg(path, QString::fromLocal8Bit(strerror(failure)));
        return false;
    }
    return true;
}

} // namespace DataFolder
