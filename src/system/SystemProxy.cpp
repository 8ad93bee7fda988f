#include "system/SystemProxy.h"

#include "log/Log.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QSaveFile>
#include <QThread>

namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QString keyBackend = QStringLiteral("backend");
const QString keyPrior = QStringLiteral("prior");

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

void SystemProxy::setState(const QString &owner, const QString &restoreCmd, const QJsonObject &prior)
{
    m_prior = prior;
    QMutexLocker locker(&m_mutex);
    m_owner = owner;
    m_restoreCmd = restoreCmd;
}

void SystemProxy::runEnable(const QString &id, const QString &host, const QString &port)
{
    const std::optional<QJsonObject> prior = backend().enable(host, port);
    if (!prior)
        return;
    const QString command = backend().restoreCommand(*prior);
    const bool wasSwitched = !restoreCmd().isEmpty();
    setState(id, command, *prior);
    // A second tunnel taking over keeps the file as it is: after a crash the setting from before the first switch
    // is the one to go back to, not the first tunnel's (by then dead) proxy.
    if (!wasSwitched && !command.isEmpty())
        writeRestoreFile(*prior);
}

void SystemProxy::runDisable(const QString &id)
{
    const QString currentOwner = owner();
    if (currentOwner.isEmpty() || currentOwner != id)
        return;
    if (restoreCmd().isEmpty())
        return;
    Log::ssh(Log::Level::Default, QStringLiteral("system SOCKS proxy: restoring prior state"));
    backend().restore(m_prior);
    setState({}, {}, {});
    removeRestoreFile();
}

void SystemProxy::runQuit()
{
    if (restoreCmd().isEmpty())
        return;
    backend().restore(m_prior);
    setState({}, {}, {});
    removeRestoreFile();
}

void SystemProxy::runRecover()
{
    // The file belongs to this run once it has switched the proxy itself.
    if (!restoreCmd().isEmpty())
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
    if (saved.value(keyBackend).toString() != backend().name() || backend().restoreCommand(prior).isEmpty()) {
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: ignoring unusable restore file %1").arg(path));
    } else {
        Log::ssh(Log::Level::Default,
                 QStringLiteral("system SOCKS proxy: restoring prior state left switched by an earlier run"));
        backend().restore(prior);
    }
    removeRestoreFile();
}

void SystemProxy::writeRestoreFile(const QJsonObject &prior)
{
    QDir().mkpath(m_folder);
    const QString path = restoreFilePath();
    const QByteArray data =
        QJsonDocument(QJsonObject{{keyBackend, backend().name()}, {keyPrior, prior}}).toJson(QJsonDocument::Compact);
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        file.setPermissions(ownerOnly);
        ok = file.write(data) == data.size() && file.commit();
    }
    if (ok)
        QFile::setPermissions(path, ownerOnly);
    else
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: cannot write %1").arg(path));
}

void SystemProxy::removeRestoreFile()
{
    const QString path = restoreFilePath();
    if (QFile::exists(path) && !QFile::remove(path))
        Log::ssh(Log::Level::Error, QStringLiteral("system proxy: cannot remove %1").arg(path));
}
