#include "support/PrivateBus.h"

#include "support/TempHome.h"

PrivateBus::~PrivateBus()
{
    for (const QString &name : std::as_const(m_names))
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

bool PrivateBus::start()
{
    // A session bus of its own: no service activation, so no real desktop service ever starts on it.
    const QString config =
        writeFile(m_dir.filePath(QStringLiteral("bus.conf")),
                  QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>session</type>\n"
                                 "  <listen>unix:dir=%1</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n")
                      .arg(m_dir.path())
                      .toUtf8());
    m_daemon.start(QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        m_error = QStringLiteral("dbus-daemon printed no address: ") + m_daemon.errorString();
    return !m_address.isEmpty();
}

QDBusConnection PrivateBus::connect(const QString &name)
{
    const QString unique = name + QLatin1Char('@') + m_address;
    m_names.append(unique);
    return QDBusConnection::connectToBus(m_address, unique);
}
