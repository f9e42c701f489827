// The XDG autostart folder: the desktop entries that the session starts at log-on, and the program's own entry.
#include "AutostartFolder.h"

#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

// One argument of an Exec key: quoted when it holds a reserved character, with the characters that stay special
// inside double quotes escaped. Field codes start with %, so a literal one is doubled, quoted or not.
QString execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#`()");
    static const QString escaped = QStringLiteral("\"`$\\");
    bool quote = argument.isEmpty();
    QString text;
    for (const QChar c : argument) {
        quote = quote || reserved.contains(c);
        if (escaped.contains(c))
            text += u'\\';
        text += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    return quote ? u'"' + text + u'"' : text;
}

// A string value of a desktop entry: the escapes of the file format come on top of the Exec quoting.
QString escapeValue(const QString& value)
{
    QString text;
    for (const QChar c : value) {
        if (c == u'\\')
            text += QStringLiteral("\\\\");
        else if (c == u'\n')
            text += QStringLiteral("\\n");
        else if (c == u'\t')
            text += QStringLiteral("\\t");
        else if (c == u'\r')
            text += QStringLiteral("\\r");
        else
            text += c;
    }
    return text;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(::strerror(code));
}

} // namespace

namespace AutostartFolder {

QString locate(const QProcessEnvironment& environment)
{
    QString configHome = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (!QDir::isAbsolutePath(configHome))
        configHome = DataFolder::home(environment) + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart");
}

QStringList entries(const QString& folder)
{
    // The session starts only names that end in .desktop, with that case.
    return QDir(folder, QStringLiteral("*.desktop"), QDir::Unsorted, QDir::Files | QDir::CaseSensitive).entryList();
}

bool writeEntry(const QString& folder, const QString& programPath, QString* error)
{
    if (!DataFolder::create(folder, error))
        return false;
    const QString exec = execArgument(programPath) + QStringLiteral(" -auto");
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=ShareMount AutoStart\n"
                                         "Comment=Connects the drives marked for auto connect\n"
                                         "Exec=%1\n")
                              .arg(escapeValue(exec));
    QSaveFile file(QDir(folder).filePath(QLatin1String(EntryName)));
    if (file.open(QIODevice::WriteOnly) && file.write(entry.toUtf8()) >= 0 && file.commit())
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString());
    return false;
}

bool remove(const QString& folder, const QString& name, QString* error)
{
    if (::unlink(QFile::encodeName(QDir(folder).filePath(name)).constData()) == 0)
        return true;
    *error = QStringLiteral("Cannot delete %1: %2").arg(name, systemError(errno));
    return false;
}

} // namespace AutostartFolder
