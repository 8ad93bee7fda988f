#include "system/LoginItem.h"

#include "log/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

LoginItem::LoginItem(QString program, QString path)
    : m_program(program.isEmpty() ? defaultProgram() : std::move(program)),
      m_path(path.isEmpty() ? defaultPath() : std::move(path))
{
}

QString LoginItem::defaultPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/flumewire.desktop"));
}

QString LoginItem::defaultProgram()
{
    const QString self = QCoreApplication::applicationFilePath();
    if (QFileInfo(self).fileName() != QLatin1String("flumewire-tray"))
        return self;
    // The tray program lives in a private folder; the entry starts it the way the user does.
    const QString besideUs = QFileInfo(self).dir().filePath(QStringLiteral("flumewire"));
    if (QFileInfo(besideUs).isExecutable())
        return besideUs;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("flumewire"));
    return onPath.isEmpty() ? self : onPath;
}

bool LoginItem::isEnabled() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

QString LoginItem::quoteExecArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped;
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c))
            needsQuotes = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    // A field code starts with "%"; a literal one is doubled.
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return needsQuotes ? u'"' + escaped + u'"' : escaped;
}

QByteArray LoginItem::entryText() const
{
    // Within a quoted argument the format's own escapes are doubled once more by the string rules of the file.
    QString exec = quoteExecArgument(m_program);
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Flumewire\n"
                                        "Comment=Keeps SSH port-forwarding tunnels up\n"
                                        "Exec=%1\n"
                                        "Icon=flumewire\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(exec);
    return text.toUtf8();
}

std::optional<QString> LoginItem::setEnabled(bool on)
{
    if (!on) {
        if (!QFileInfo::exists(m_path))
            return std::nullopt;
        QFile file(m_path);
        if (!file.remove()) {
            const QString reason = file.errorString();
            Log::app(Log::Level::Error, QStringLiteral("could not remove %1: %2").arg(m_path, reason));
            return reason;
        }
        Log::app(Log::Level::Default, QStringLiteral("launch at login off: removed %1").arg(m_path));
        return std::nullopt;
    }
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        const QString reason = QStringLiteral("cannot create %1").arg(folder);
        Log::app(Log::Level::Error, QStringLiteral("could not write %1: %2").arg(m_path, reason));
        return reason;
    }
    QSaveFile file(m_path);
    const QByteArray text = entryText();
    // A small write is only buffered: a full disk shows at flush or commit, both checked.
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        Log::app(Log::Level::Error, QStringLiteral("could not write %1: %2").arg(m_path, reason));
        return reason;
    }
    Log::app(Log::Level::Default, QStringLiteral("launch at login on: wrote %1").arg(m_path));
    return std::nullopt;
}
