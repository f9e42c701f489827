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

// Share names exclude the characters Windows reserves for them.
bool isShareName(const QString& name)
{
    static const QString reserved = QStringLiteral("\"/\\[]:|<>+=;,?*");
    if (name.isEmpty() || name == u"." || name == u".." || hasControlCharacters(name))
        return false;
    for (const QChar c : name) {
        if (reserved.contains(c))
            return false;
    }
    return true;
}

bool isFolderName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !hasControlCharacters(name);
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

SmbUser SmbUser::fromUserName(const QString& userName)
{
    const qsizetype backslash = userName.indexOf(u'\\');
    if (backslash < 0)
        return {QString(), userName};
    return {userName.left(backslash), userName.mid(backslash + 1)};
}
