#include "system/SystemProxy.h"

#include "log/Log.h"
#include "model/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QThread>

namespace {

const QString keyBackend = QStringLiteral("backend");
const QString keyPrior = QStringLiteral("prior");
// What Flumewire set: recovery puts the prior setting back only while this is still the system's setting.
const QString keySet = QStringLiteral("set");
const QString keyHost = QStringLiteral("host");
const QString keyPort = QStringLiteral("port");

} // namespace

SystemProxy::SystemProxy(QString dataFolder, BackendFactory makeBackend)
    : m_folder(std::move(dataFolder)), m_makeBackend(std::move(makeBackend)), m_thread(new QThread),
      m_worker(new QObject)
{
    if (!m_makeBackend)
        m_makeBackend = &ProxyBackend::forThisSystem;
    m_thread->setObjectName(QStringLiteral("com.brindlecot.flumewire.systemproxy"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

SystemProxy::~SystemProxy()
{
    waitForIdle();
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

void SystemProxy::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_worker, std::move(work), Qt::QueuedConnection);
}

void SystemProxy::enable(const QString &id, const QString &host, const QString &port)
{
    post([this, id, host, port] { runEnable(id, host, port); });
}

void SystemProxy::disable(const QString &id)
{
    post([this, id] { runDisable(id); });
}

void SystemProxy::restoreOnQuit()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { runQuit(); }, Qt::BlockingQueuedConnection);
}

void SystemProxy::recoverAfterCrash()
{
    post([this] { runRecover(); });
}

void SystemProxy::waitForIdle()
{
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
}

QString SystemProxy::owner() const
{
    QMutexLocker locker(&m_mutex);
    return m_owner;
}

QString SystemProxy::restoreCmd() const
{
    QMutexLocker locker(&m_mutex);
    return m_restoreCmd;
}

QString SystemProxy::restoreFilePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("system-proxy-restore.json"));
}

ProxyBackend &SystemProxy::backend()
{
    if (!m_backend)
        m_backend = m_makeBackend();
    return *m_backend;
}

void SystemProxy::publish()
{
    const QString command = m_owners.isEmpty() ? QString() : backend().restoreCommand(m_original);
    {
        QMutexLocker locker(&m_mutex);
        m_owner = m_owners.isEmpty() ? QString() : m_owners.last().id;
        m_restoreCmd = command;
    }
    if (m_owners.isEmpty())
        removeRestoreFile();
    else if (!command.isEmpty())
        writeRestoreFile();
}

void SystemProxy::restoreOriginal()
{
    Log::ssh(Log::Level::Default, QStringLiteral("system SOCKS proxy: restoring prior state"));
    backend().restore(m_original);
    m_original = {};
    m_owners.clear();
    publish();
}

void SystemProxy::runEnable(const QString &id, const QString &host, const QString &port)
{
    const std::optional<QJsonObject> prior = backend().enable(host, port);
    if (!prior)
        return;
    // While another tunnel holds the proxy, `prior` is that tunnel's setting: only the first one is the user's.
    if (m_owners.isEmpty())
        m_original = *prior;
    m_owners.removeIf([&](const Owner &o) { return o.id == id; });
    m_owners.append({id, host, port});
    publish();
}

void SystemProxy::runDisable(const QString &id)
{
    const auto it = std::find_if(m_owners.cbegin(), m_owners.cend(), [&](const Owner &o) { return o.id == id; });
    if (it == m_owners.cend())
        return;
    const bool pointsHere = it == m_owners.cend() - 1;
    m_owners.erase(it);
    if (!pointsHere) {
        publish();
        return;
    }
    if (m_owners.isEmpty()) {
        restoreOriginal();
        return;
    }
    // Back to the latest tunnel that is still up; when that cannot be done, to the user's own setting rather than
    // leaving the system on a port nobody listens on any more.
    const Owner next = m_owners.last();
    Log::ssh(Log::Level::Default, QStringLiteral("system SOCKS proxy: back to %1").arg(next.id));
    if (!backend().enable(next.host, next.port)) {
        restoreOriginal();
        return;
    }
    publish();
}

void SystemProxy::runQuit()
{
    if (m_owners.isEmpty())
        return;
    backend().restore(m_original);
    m_original = {};
    m_owners.clear();
    publish();
}

void SystemProxy::runRecover()
{
    // The file belongs to this run once it has switched the proxy itself.
    if (!m_owners.isEmpty())
        return;
    const QString path = restoreFilePath();
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: cannot read %1").arg(path));
        return;
    }
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    const QJsonObject prior = saved.value(keyPrior).toObject();
    const QJsonObject set = saved.value(keySet).toObject();
    const QJsonValue host = set.value(keyHost);
    const QJsonValue port = set.value(keyPort);
    if (saved.value(keyBackend).toString() != backend().name() || backend().restoreCommand(prior).isEmpty() ||
        !host.isString() || !port.isString()) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: ignoring unusable restore file %1").arg(path));
    } else if (!backend().pointsAt(prior, host.toString(), port.toString())) {
        Log::ssh(Log::Level::Default, QStringLiteral("system SOCKS proxy: the setting left by an earlier run was "
                                                     "changed since; leaving it as it is"));
    } else {
        Log::ssh(Log::Level::Default,
                 QStringLiteral("system SOCKS proxy: restoring prior state left switched by an earlier run"));
        backend().restore(prior);
    }
    removeRestoreFile();
}

void SystemProxy::writeRestoreFile()
{
    const Owner &current = m_owners.last();
    const QJsonObject content{{keyBackend, backend().name()},
                              {keyPrior, m_original},
                              {keySet, QJsonObject{{keyHost, current.host}, {keyPort, current.port}}}};
    const WriteResult written =
        AtomicFile::write(restoreFilePath(), QJsonDocument(content).toJson(QJsonDocument::Compact));
    if (!written)
        Log::ssh(Log::Level::Error,
                 QStringLiteral("system proxy: cannot keep the setting to restore: %1").arg(written.error));
}

void SystemProxy::removeRestoreFile()
{
    const QString path = restoreFilePath();
    if (QFile::exists(path) && !QFile::remove(path))
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: cannot remove %1").arg(path));
}
