#pragma once

#include "engine/Clock.h"
#include "engine/TunnelRun.h"
#include "model/Appearance.h"
#include "model/AtomicFile.h"
#include "model/LogLine.h"
#include "model/Tunnel.h"
#include "model/TunnelForm.h"
#include "model/TunnelGroup.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class SSHRunning;
class SystemProxying;

// Icon state for the tray icon: connecting wins over any number of connected tunnels.
enum class GlyphVariant { Connecting, None, One, Several };

// How much of a group is on (connected or connecting).
enum class GroupToggleState { None = 0, All = 1, Some = 2 };

// Everything AppState is created with. Only ssh is required.
struct AppStateOptions {
    // Lists supplied by the creator instead of reading the files (the application passes neither).
    std::optional<QList<Tunnel>> tunnels;
    std::optional<QList<TunnelGroup>> groups;
    // The runner; not owned, must outlive the state.
    SSHRunning *ssh = nullptr;
    // Writers of the two files; empty means Store::save / Store::saveGroups for the build given by dev.
    std::function<WriteResult(const QList<Tunnel> &)> persist;
    std::function<WriteResult(const QList<TunnelGroup> &)> groupsPersist;
    // The system SOCKS proxy switch; not owned. Null means one that does nothing.
    SystemProxying *systemProxy = nullptr;
    // Time and delayed work; not owned. Null means a real event-loop clock owned by the state.
    Clock *clock = nullptr;
    // The development-build flag of the running program.
    bool dev = false;
    // False skips starting the autostart tunnels at creation (command-line runs that start tunnels by id).
    bool autostart = true;
    // False: a missing tunnels file is an empty list, never the sample set (the command line).
    bool seedSamples = true;
    // Measures one connect time; empty means LatencyProbe::probe. Tests hand in a fake.
    std::function<void(const QString &host, quint16 port, double timeoutSec,
                       std::function<void(std::optional<double>)> done)>
        probe;
    // The ssh program whose `-G` tells which server a launch really connects to (the runner's own program).
    QString sshProgram = QStringLiteral("/usr/bin/ssh");
    // Finds the server of a launched record; empty means ServerResolver::resolve with sshProgram.
    std::function<void(const Tunnel &record, std::function<void(std::optional<ServerAddress>)> done)> resolveServer;
    // A failure before the first connection since start is retried with back-off too (a headless keeper); the tray
    // app leaves such a tunnel failed.
    bool retryBeforeFirstConnect = false;
    // Reconnect attempts before giving up; 0 never gives up.
    int maxReconnectAttempts = 6;
};

// The one owner of tunnels, groups, run states and logs. Drives the ssh runner, fails over and reconnects, samples
// latency, switches the system proxy, and writes both files after every change to the lists. Main thread only.
class AppState : public QObject {
    Q_OBJECT
public:
    static constexpr int latencyWindow = TunnelRun::latencyWindow;
    static constexpr int maxLogLines = TunnelRun::maxLogLines;
    static constexpr qint64 maxBackOffSec = 30;
    static constexpr qint64 tickIntervalMs = 1000;
    static constexpr qint64 flashMs = 520;
    static constexpr qint64 failoverDelayMs = 600;
    static constexpr double probeTimeoutSec = 2.0;

    // Loads, logs the launch line, installs the runner callbacks, starts the one-second tick and the autostart
    // tunnels, in that order.
    explicit AppState(AppStateOptions options, QObject *parent = nullptr);
    ~AppState() override;

    // Published state.
    const QList<Tunnel> &tunnels() const { return m_tunnels; }
    // The first tunnel with this id, or null. Valid until the next change of the list.
    const Tunnel *tunnel(const QString &id) const;
    const QList<TunnelGroup> &groups() const { return m_groups; }
    // The log of the tunnel's current (or last) run, oldest first.
    QList<LogLine> logs(const QString &id) const;
    const QSet<QString> &flash() const { return m_flash; }
    Appearance appearance() const { return m_appearance; }
    void setAppearance(Appearance appearance);
    // Shown but not written: another build's tunnel seen by the development build.
    bool isBorrowed(const QString &id) const { return m_borrowedIds.contains(id); }
    const QSet<QString> &borrowedIds() const { return m_borrowedIds; }
    bool isDevelopmentBuild() const { return m_dev; }

    int activeCount() const;
    GlyphVariant glyphVariant() const;

    // Reconnect bookkeeping, read-only (diagnostics and tests).
    bool wantsConnection(const QString &id) const;
    bool everConnected(const QString &id) const;
    int reconnectAttempts(const QString &id) const;
    QSet<int> triedHosts(const QString &id) const;
    bool hasPendingWork(const QString &id) const;
    // The SSH server the current run's latency is measured against, once known.
    std::optional<ServerAddress> serverAddress(const QString &id) const;
    int probeCounter() const { return m_probeCounter; }
    int maxReconnectAttempts() const { return m_maxAttempts; }

    // Lifecycle.
    void start(const QString &id);
    void stop(const QString &id);
    // start when failed or idle, stop when connected or connecting.
    void toggle(const QString &id);

    // Operations on the lists; each change is written at once through persist().
    bool save(const TunnelForm &form, const std::optional<QString> &editingId);
    // Removes a tunnel; a running one is stopped first exactly as stop() does. ("delete" is a C++ keyword.)
    void deleteTunnel(const QString &id);
    void duplicate(const QString &id);
    std::optional<QString> addGroup(const QString &name);
    void renameGroup(const QString &id, const QString &name);
    void deleteGroup(const QString &id);
    // The tunnels whose groupId is groupId, in list order.
    QList<Tunnel> tunnels(const QString &groupId) const;
    GroupToggleState groupState(const QString &groupId) const;
    void toggleGroup(const QString &groupId);
    int importTunnels(const QList<Tunnel> &list);
    int importFromProduction();
    // Writes both files; false when either write failed (the lists stay as they are and the next change retries).
    bool persist();
    // Why the last write failed; empty when it succeeded.
    QString saveError() const { return m_saveError; }

signals:
    // Run-time fields (status, reason, server, latency samples) of one tunnel changed. The uptime's count does not
    // announce itself here: see uptimeTicked.
    void tunnelChanged(const QString &id);
    // One second passed: every connected tunnel's uptimeSec went up by one.
    void uptimeTicked();
    // A wanted tunnel failed and will not be retried (never connected, reconnecting off, or out of attempts).
    void gaveUp(const QString &id);
    // The list itself changed: tunnels added, removed, reordered or edited.
    void tunnelsChanged();
    void groupsChanged();
    void logAppended(const QString &id, const LogLine &line);
    // The tunnel's log was emptied (a new run) or removed.
    void logCleared(const QString &id);
    void flashChanged(const QString &id, bool on);
    void appearanceChanged(Appearance appearance);
    // glyphVariant() has a new value.
    void glyphVariantChanged(GlyphVariant variant);
    // A write of the tunnels or groups file failed; emitted when saving starts failing or fails for a new reason.
    void saveFailed(const QString &reason);
    // A write succeeded after failing.
    void saveRecovered();

private:
    // Runner, timer and delayed-work steps.
    void applyStatus(const QString &id, TunnelStatus status, const std::optional<QString> &reason);
    void append(const LogLine &line, const QString &id);
    void tick();
    void launch(const QString &id);
    void flashOn(const QString &id);
    bool tryFailover(const QString &id);
    void scheduleReconnectIfNeeded(const QString &id);
    void resolveServer(const QString &id, const Tunnel &record);
    void probeLatencies();
    void recordLatency(const QString &id, std::optional<double> ms);

    Tunnel *find(const QString &id);
    // The run of an id, made when first needed.
    TunnelRun &run(const QString &id);
    const TunnelRun *findRun(const QString &id) const;
    void rebuildIndex();
    void tunnelsEdited();
    void updateGlyph();
    static QString newIdSuffix();

    QList<Tunnel> m_tunnels;
    QHash<QString, qsizetype> m_index; // id -> first position in m_tunnels
    QList<TunnelGroup> m_groups;
    Appearance m_appearance = Appearance::Auto;
    QSet<QString> m_flash;
    std::unordered_map<QString, std::unique_ptr<TunnelRun>> m_runs;

    SSHRunning *m_ssh = nullptr;
    SystemProxying *m_systemProxy = nullptr;
    std::unique_ptr<SystemProxying> m_ownedProxy;
    Clock *m_clock = nullptr;
    std::unique_ptr<Clock> m_ownedClock;
    std::function<WriteResult(const QList<Tunnel> &)> m_persistHook;
    std::function<WriteResult(const QList<TunnelGroup> &)> m_groupsPersistHook;
    QString m_saveError;
    std::function<void(const QString &, quint16, double, std::function<void(std::optional<double>)>)> m_probe;
    std::function<void(const Tunnel &, std::function<void(std::optional<ServerAddress>)>)> m_resolveServer;
    bool m_dev = false;
    bool m_retryBeforeFirstConnect = false;
    int m_maxAttempts = 6;

    Clock::WorkId m_uptimeTimer = 0;
    QSet<QString> m_borrowedIds;
    int m_probeCounter = 0;
    GlyphVariant m_glyph = GlyphVariant::None;
};
