// What rclone keeps for a drive in the letter's cache folder: the files being uploaded and its log.
#include "platform/RcloneCache.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

// rclone keeps each cached file's data under vfs/ and a JSON note on it under vfsMeta/, at the same path.
const QString DataFolder = QStringLiteral("vfs");
const QString NotesFolder = QStringLiteral("vfsMeta");

// A note that cannot be read counts as dirty: what it stands for may not be on the server.
bool isDirty(const QString& note)
{
    QFile file(note);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QJsonValue dirty = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("Dirty"));
    return !dirty.isBool() || dirty.toBool();
}

void removeEmptyFolders(const QString& root)
{
    QStringList folders;
    QDirIterator each(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (each.hasNext())
        folders.append(each.next());
    // Deepest first, so that a folder is empty by the time its turn comes; rmdir leaves the others.
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : std::as_const(folders))
        QDir().rmdir(folder);
}

} // namespace

namespace RcloneCache {

QString copies(const QString& cacheFolder, const QString& uploads)
{
    return cacheFolder + u'/' + DataFolder + u'/' + uploads;
}

QStringList pending(const QString& cacheFolder, const QString& uploads)
{
    const QDir notes(cacheFolder + u'/' + NotesFolder + u'/' + uploads);
    QStringList files;
    QDirIterator each(notes.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (each.hasNext()) {
        const QString note = each.next();
        if (isDirty(note))
            files.append(notes.relativeFilePath(note));
    }
    files.sort();
    return files;
}

QStringList unnoted(const QString& cacheFolder, const QString& uploads)
{
    const QDir held(copies(cacheFolder, uploads));
    const QString notes = cacheFolder + u'/' + NotesFolder + u'/' + uploads + u'/';
    QStringList files;
    QDirIterator each(held.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (each.hasNext()) {
        const QString file = held.relativeFilePath(each.next());
        if (!QFile::exists(notes + file))
            files.append(file);
    }
    files.sort();
    return files;
}

void removeFinished(const QString& cacheFolder)
{
    const QDir notes(cacheFolder + u'/' + NotesFolder);
    QDirIterator each(notes.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (each.hasNext()) {
        const QString note = each.next();
        if (isDirty(note))
            continue;
        QFile::remove(cacheFolder + u'/' + DataFolder + u'/' + notes.relativeFilePath(note));
        QFile::remove(note);
    }
    removeEmptyFolders(cacheFolder + u'/' + DataFolder);
    removeEmptyFolders(notes.path());
}

void boundLog(const QString& path, qint64 limit)
{
    QFile log(path);
    if (log.size() <= limit || !log.open(QIODevice::ReadOnly))
        return;
    // The newest quarter, from its first whole line on.
    log.seek(log.size() - limit / 4);
    QByteArray kept = log.readAll();
    kept.remove(0, kept.indexOf('\n') + 1);
    QSaveFile trimmed(path);
    // The new file keeps the old one's permissions: readable by its owner only.
    if (trimmed.open(QIODevice::WriteOnly)) {
        trimmed.write(kept);
        trimmed.commit();
    }
}

} // namespace RcloneCache
