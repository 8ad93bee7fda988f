#pragma once

#include "system/ProxyBackend.h"
#include "system/SystemProxying.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>

class QThread;
class QObject;

// Points the system SOCKS proxy at a connected SOCKS tunnel and puts the prior setting back when that tunnel goes
// down or at quit. All work (tool runs, administrator prompts, the restore file) runs in call order on one worker
// thread; enable and disable return at once.
//
// Several SOCKS tunnels may ask in turn. The proxy points at the one that asked last; when it goes down the proxy
// goes back to the latest one still up, and when the last of them goes the user's own setting from before the first
// switch comes back. A tunnel that goes down while another one holds the proxy changes nothing.
//
// While the proxy is switched, the user's setting and the one Flumewire made are also kept in a small file in the
// data folder (readable by the user only), so that a run that ends without restoring does not leave the system
// pointed at a dead proxy: the application calls recoverAfterCrash() once at start-up, which puts the user's setting
// back, but only while the system still holds the setting Flumewire made (a setting the user changed since is
// theirs), and removes the file.
class SystemProxy : public SystemProxying {
public:
    using BackendFactory = std::function<std::unique_ptr<ProxyBackend>()>;

    // dataFolder: where the restore file lives (Store::folder(dev)). makeBackend runs on the worker at first use;
    // by default it is ProxyBackend::forThisSystem.
    explicit SystemProxy(QString dataFolder, BackendFactory makeBackend = {});
    // Runs everything already queued, then stops the worker. Does not restore: that is restoreOnQuit's job.
    ~SystemProxy() override;

    SystemProxy(const SystemProxy &) = delete;
    SystemProxy &operator=(const SystemProxy &) = delete;

    void enable(const QString &id, const QString &host, const QString &port) override;
    void disable(const QString &id) override;
    // Waits for everything queued before it, then puts back a setting that is still switched.
    void restoreOnQuit() override;

    // Queues the start-up check: a restore file left by an earlier run is put back and removed. Returns at once.
    void recoverAfterCrash();
    // Blocks until everything queued so far has run.
    void waitForIdle();

    // Id of the tunnel the proxy points at; empty when none. Safe from any thread.
    QString owner() const;
    // Shell command that puts the user's setting back; empty when none. Safe from any thread.
    QString restoreCmd() const;
    // The restore file: "system-proxy-restore.json" in the data folder.
    QString restoreFilePath() const;

private:
    void post(std::function<void()> work);
    ProxyBackend &backend();
    void runEnable(const QString &id, const QString &host, const QString &port);
    void runDisable(const QString &id);
    void runQuit();
    void runRecover();
    struct Owner {
        QString id;
        QString host;
        QString port;
    };

    // Publishes owner() and restoreCmd() from m_owners and m_original, and keeps the restore file in step.
    void publish();
    void restoreOriginal();
    void writeRestoreFile();
    void removeRestoreFile();

    QString m_folder;
    BackendFactory m_makeBackend;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr;

    // Worker thread only.
    std::unique_ptr<ProxyBackend> m_backend;
    // The user's setting from before the first switch; empty while nothing is switched.
    QJsonObject m_original;
    // The tunnels whose enable succeeded and that have not gone down, oldest first; the proxy points at the last.
    QList<Owner> m_owners;

    // Written on the worker, read anywhere.
    mutable QMutex m_mutex;
    QString m_owner;
    QString m_restoreCmd;
};
