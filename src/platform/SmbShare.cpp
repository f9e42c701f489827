#include "platform/SmbShare.h"

namespace {

bool isServerName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'-') || name.startsWith(u'.'))
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-' && c != u'_')
            return false;
    }
    return true;
}

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// Characters that rclone's name encoding (RcloneMount) gives a meaning of its own: the look-alikes it writes for
// the characters Windows reserves and for control characters, and its quote mark. A name that holds one would
// mount another folder than the one that the log-on check opened.
bool hasEncodedCharacters(const QString& name)
{
    static const QString encoded = QStringLiteral("\uFF02\uFF0A\uFF0F\uFF1A\uFF1C\uFF1E\uFF1F\uFF3C\uFF5C\u201B");
    for (const QChar c : name) {
        if (encoded.contains(c) || (c.unicode() >= 0x2400 && c.unicode() <= 0x241F))
            return true;
    }
    return false;
}

// Share names exclude the characters Windows reserves for them.
bool isShareName(const QString& name)
{
    static const QString reserved = QStringLiteral("\"/\\[]:|<>+=;,?*");
    if (name.isEmpty() || name == u"." || name == u".." || hasControlCharacters(name) || hasEncodedCharacters(name))
        return false;
    for (const QChar c : name) {
        if (reserved.contains(c))
            return false;
    }
    return true;
}

bool isFolderName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !hasControlCharacters(name)
        && !hasEncodedCharacters(name);
}

} // namespace

std::optional<SmbShare> SmbShare::fromRemoteName(const QString& remoteName)
{
    if (!remoteName.startsWith(u"\\\\"))
        return std::nullopt;
    const QStringList parts = remoteName.mid(2).split(u'\\');
    if (parts.size() < 2 || !isServerName(parts[0]) || !isShareName(parts[1]))
        return std::nullopt;
    SmbShare share {parts[0], parts[1], parts.mid(2)};
    // A trailing backslash names the share itself.
    if (!share.folders.isEmpty() && share.folders.last().isEmpty())
        share.folders.removeLast();
    for (const QString& folder : share.folders) {
        if (!isFolderName(folder))
            return std::nullopt;
    }
    return share;
}

QString SmbShare::sharePath() const
{
    return (QStringList {share} + folders).join(u'/');
}

QString SmbShare::deviceName() const
{
    return QStringLiteral("//%1/%2").arg(server, sharePath());
}

QString remoteNameFromSource(const QString& source)
{
    if (!source.startsWith(u"//"))
        return source;
    QString remoteName = source;
    return remoteName.replace(u'/', u'\\');
}

std::optional<SmbUser> SmbUser::fromUserName(const QString& userName)
{
    // rclone's configuration would read "%(name)s" as another of its settings.
    if (hasControlCharacters(userName) || userName.contains(u"%("))
        return std::nullopt;
    const qsizetype backslash = userName.indexOf(u'\\');
    if (backslash < 0)
        return SmbUser {QString(), userName};
    return SmbUser {userName.left(backslash), userName.mid(backslash + 1)};
}
