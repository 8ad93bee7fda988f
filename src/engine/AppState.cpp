#include "engine/AppState.h"

#include "engine/EventLoopClock.h"
#include "engine/LatencyProbe.h"
#include "engine/ServerResolver.h"
#include "log/Log.h"
#include "model/Store.h"
#include "ssh/SSHRunning.h"
#include "system/SystemProxying.h"

#include <QPointer>
#include <QUuid>
#include <algorithm>

namespace {

// The address a local listening end is reached at: bind, or loopback when it is empty or the wildcard.
QString reachableBind(const QString &bind)
{
    return bind.isEmpty() || bind == QLatin1String("0.0.0.0") ? QStringLiteral("127.0.0.1") : bind;
}

} // namespace

AppState::AppState(AppStateOptions options, QObject *parent)
    : QObject(parent), m_ssh(options.ssh), m_systemProxy(options.systemProxy), m_clock(options.clock),
      m_persistHook(std::move(options.persist)), m_groupsPersistHook(std::move(options.groupsPersist)),
      m_probe(std::move(options.probe)), m_resolveServer(std::move(options.resolveServer)), m_dev(options.dev),
      m_retryBeforeFirstConnect(options.retryBeforeFirstConnect),
      m_maxAttempts(std::max(0, options.maxReconnectAttempts))
{
    Q_ASSERT(m_ssh);
    const bool dev = m_dev;
    if (!m_persistHook)
        m_persistHook = [dev](const QList<Tunnel> &list) { return Store::save(list, dev); };
    if (!m_groupsPersistHook)
        m_groupsPersistHook = [dev](const QList<TunnelGroup> &list) { return Store::saveGroups(list, dev); };
    if (!m_systemProxy) {
        m_ownedProxy = std::make_unique<NoSystemProxy>();
        m_systemProxy = m_ownedProxy.get();
    }
    if (!m_clock) {
        m_ownedClock = std::make_unique<EventLoopClock>();
        m_clock = m_ownedClock.get();
    }
    if (!m_probe) {
        m_probe = [](const QString &host, quint16 port, double timeoutSec,
                     std::function<void(std::optional<double>)> done) {
            LatencyProbe::probe(host, port, timeoutSec, std::move(done));
        };
    }
    if (!m_resolveServer) {
        // Lookups belong to the state: one still running at quit is ended with it, its ssh -G included.
        m_resolveServer = [this, program = options.sshProgram](const Tunnel &record,
                                                               std::function<void(std::optional<ServerAddress>)> done) {
            ServerResolver::resolve(program, record, std::move(done), 5000, this);
        };
    }

    Store::LoadResult loaded = Store::load(options.tunnels, options.groups, m_dev,
                                           options.seedSamples ? Store::Seed::WhenUnusable : Store::Seed::Never);
    m_tunnels = std::move(loaded.tunnels);
    m_groups = std::move(loaded.groups);
    m_borrowedIds = std::move(loaded.borrowedIds);
    rebuildIndex();

    Log::state(Log::Level::Default, QStringLiteral("launch: %1 tunnels (%2), %3 borrowed")
                                        .arg(m_tunnels.size())
                                        .arg(loaded.seeded ? QStringLiteral("seeded") : QStringLiteral("loaded"))
                                        .arg(m_borrowedIds.size()));

    // Runner reports and timer firings hold the state weakly: once it is gone they are dropped.
    QPointer<AppState> self(this);
    // Only the tunnel's current run is heard: a report still queued from a replaced or stopped child is dropped.
    m_ssh->onStatus = [self](const QString &id, quint64 run, TunnelStatus status,
                             const std::optional<QString> &reason) {
        if (!self)
            return;
        const TunnelRun *r = self->findRun(id);
        if (r && r->sshRun == run)
            self->applyStatus(id, status, reason);
    };
    m_ssh->onLog = [self](const QString &id, quint64 run, const LogLine &line) {
        if (!self)
            return;
        const TunnelRun *r = self->findRun(id);
        if (r && r->sshRun == run)
            self->append(line, id);
    };

    m_uptimeTimer = m_clock->every(tickIntervalMs, [self] {
        if (self)
            self->tick();
    });

    if (options.autostart) {
        QStringList autostartIds;
        for (const Tunnel &t : std::as_const(m_tunnels)) {
            if (t.autostart)
                autostartIds.append(t.id);
        }
        for (const QString &id : std::as_const(autostartIds))
            start(id);
    }
}

AppState::~AppState()
{
    // With an outside clock, leave nothing of ours behind in it (each run cancels its own pending launch).
    m_clock->cancel(m_uptimeTimer);
    m_runs.clear();
}

const Tunnel *AppState::tunnel(const QString &id) const
{
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_tunnels.at(*it);
}

Tunnel *AppState::find(const QString &id)
{
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_tunnels[*it];
}

TunnelRun &AppState::run(const QString &id)
{
    std::unique_ptr<TunnelRun> &slot = m_runs[id];
    if (!slot)
        slot = std::make_unique<TunnelRun>(m_clock);
    return *slot;
}

const TunnelRun *AppState::findRun(const QString &id) const
{
    const auto it = m_runs.find(id);
    return it == m_runs.end() ? nullptr : it->second.get();
}

QList<LogLine> AppState::logs(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r ? r->log() : QList<LogLine>();
}

bool AppState::wantsConnection(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r && r->wanted;
}

bool AppState::everConnected(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r && r->everConnected;
}

int AppState::reconnectAttempts(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r ? r->attempts : 0;
}

QSet<int> AppState::triedHosts(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r ? r->triedHosts : QSet<int>();
}

bool AppState::hasPendingWork(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r && r->hasPendingWork();
}

std::optional<ServerAddress> AppState::serverAddress(const QString &id) const
{
    const TunnelRun *r = findRun(id);
    return r ? r->server : std::nullopt;
}

void AppState::rebuildIndex()
{
    m_index.clear();
    m_index.reserve(m_tunnels.size());
    for (qsizetype i = 0; i < m_tunnels.size(); ++i) {
        if (!m_index.contains(m_tunnels.at(i).id))
            m_index.insert(m_tunnels.at(i).id, i);
    }
}

void AppState::tunnelsEdited()
{
    rebuildIndex();
    emit tunnelsChanged();
    updateGlyph();
}

void AppState::setAppearance(Appearance appearance)
{
    if (m_appearance == appearance)
        return;
    m_appearance = appearance;
    emit appearanceChanged(appearance);
}

int AppState::activeCount() const
{
    return int(std::count_if(m_tunnels.cbegin(), m_tunnels.cend(),
                             [](const Tunnel &t) { return t.status == TunnelStatus::Connected; }));
}

GlyphVariant AppState::glyphVariant() const
{
    int connected = 0;
    for (const Tunnel &t : m_tunnels) {
        if (t.status == TunnelStatus::Connecting)
            return GlyphVariant::Connecting;
        if (t.status == TunnelStatus::Connected)
            ++connected;
    }
    return connected == 0 ? GlyphVariant::None : connected == 1 ? GlyphVariant::One : GlyphVariant::Several;
}

void AppState::updateGlyph()
{
    const GlyphVariant now = glyphVariant();
    if (now == m_glyph)
        return;
    m_glyph = now;
    emit glyphVariantChanged(now);
}

// ---- Lifecycle ------------------------------------------------------------------------------------------------

void AppState::start(const QString &id)
{
    TunnelRun &r = run(id);
    r.wanted = true;
    // "Ever connected" counts from this start: a tunnel that connected in an earlier run and now cannot is not
    // reconnected by the tray app.
    r.everConnected = false;
    r.resetCycle();
    r.cancelWork();
    if (Tunnel *t = find(id))
        t->activeHostIndex = 0;
    launch(id);
}

void AppState::launch(const QString &id)
{
    Tunnel *t = find(id);
    if (!t)
        return;
    TunnelRun &r = run(id);
    const bool useBackup = t->hasBackup() && t->activeHostIndex == 1;
    Log::state(Log::Level::Info,
               QStringLiteral("connect %1 (%2) via %3")
                   .arg(id, textOf(t->type), useBackup ? QStringLiteral("backup") : QStringLiteral("primary")));
    t->status = TunnelStatus::Connecting;
    t->reason = useBackup ? std::optional<QString>(QStringLiteral("Connecting via backup…")) : std::nullopt;
    t->uptimeSec = 0;
    r.clearLog();
    r.triedHosts.insert(t->activeHostIndex);
    r.launchedHost = t->activeHostIndex;
    r.server.reset();
    ++r.launches;
    const Tunnel record = useBackup ? t->viaBackup() : *t;
    emit logCleared(id);
    emit tunnelChanged(id);
    updateGlyph();
    r.sshRun = m_ssh->start(record);
    if (record.type == TunnelType::Local)
        resolveServer(id, record);
}

void AppState::stop(const QString &id)
{
    Tunnel *t = find(id);
    if (!t)
        return;
    TunnelRun &r = run(id);
    r.wanted = false;
    r.everConnected = false;
    r.resetCycle();
    r.cancelWork();
    r.server.reset();
    r.sshRun = 0;
    ++r.launches; // an address still being resolved belongs to a run that is over
    m_ssh->stop(id);
    m_systemProxy->disable(id);
    t = find(id);
    if (!t)
        return;
    t->status = TunnelStatus::Idle;
    t->reason.reset();
    t->uptimeSec = 0;
    t->kbps = 0;
    t->activeHostIndex = 0;
    t->latencyMs.clear();
    emit tunnelChanged(id);
    updateGlyph();
}

void AppState::toggle(const QString &id)
{
    const Tunnel *t = find(id);
    if (!t)
        return;
    if (isOn(t->status))
        stop(id);
    else
        start(id);
}

void AppState::applyStatus(const QString &id, TunnelStatus status, const std::optional<QString> &reason)
{
    Tunnel *t = find(id);
    if (!t)
        return;
    // A report still queued from a child that was stopped.
    if (status != TunnelStatus::Idle && t->status == TunnelStatus::Idle && !m_ssh->isRunning(id))
        return;
    TunnelRun &r = run(id);
    // A failure while a failover or reconnect launch is pending repeats the report of the run that already failed
    // (ssh's failure line, then its exit): no child runs until that launch. Counting it again would let a reconnect to
    // the primary replace the pending launch on the backup, so a dead primary would win every cycle.
    if (status == TunnelStatus::Failed && r.hasPendingWork())
        return;
    // The runner's own "connecting" (it always follows a launch) carries no reason; it must not wipe the reason
    // the launch just gave, or "Connecting via backup…" would never be seen.
    const bool launchReport = status == TunnelStatus::Connecting && !reason && t->status == TunnelStatus::Connecting;
    t->status = status;
    if (!launchReport)
        t->reason = reason;

    if (status == TunnelStatus::Connected) {
        // The run is up: a failover or reconnect still pending would only replace a working session.
        r.cancelWork();
        t->activeHostIndex = r.launchedHost;
        t->uptimeSec = std::max<qint64>(t->uptimeSec, 1);
        r.everConnected = true;
        r.resetCycle();
        const bool proxy = t->type == TunnelType::Socks && t->autoSocksProxy;
        const QString host = reachableBind(t->bind);
        const QString port = t->bindPort;
        emit tunnelChanged(id);
        updateGlyph();
        flashOn(id);
        if (proxy)
            m_systemProxy->enable(id, host, port);
        return;
    }

    t->uptimeSec = 0;
    t->latencyMs.clear();
    m_systemProxy->disable(id);
    if (status == TunnelStatus::Failed && !tryFailover(id))
        scheduleReconnectIfNeeded(id);
    emit tunnelChanged(id);
    updateGlyph();
}

void AppState::append(const LogLine &line, const QString &id)
{
    run(id).appendLog(line);
    emit logAppended(id, line);
}

void AppState::tick()
{
    // One pass counts up every connected tunnel; one signal tells the views, which redraw only the uptime text.
    bool anyConnected = false;
    for (Tunnel &t : m_tunnels) {
        if (t.status != TunnelStatus::Connected)
            continue;
        anyConnected = true;
        ++t.uptimeSec;
    }
    if (!anyConnected)
        return;
    emit uptimeTicked();
    ++m_probeCounter;
    if (m_probeCounter % 3 == 0)
        probeLatencies();
}

void AppState::flashOn(const QString &id)
{
    m_flash.insert(id);
    emit flashChanged(id, true);
    QPointer<AppState> self(this);
    m_clock->after(flashMs, [self, id] {
        if (self && self->m_flash.remove(id))
            emit self->flashChanged(id, false);
    });
}

// ---- Failover and reconnect -------------------------------------------------------------------------------------

bool AppState::tryFailover(const QString &id)
{
    TunnelRun &r = run(id);
    if (!r.wanted)
        return false;
    Tunnel *t = find(id);
    if (!t || !t->hasBackup())
        return false;
    const int current = t->activeHostIndex;
    const int other = current == 0 ? 1 : 0;
    if (r.triedHosts.contains(other))
        return false;
    t->activeHostIndex = other;
    t->status = TunnelStatus::Connecting;
    t->reason = current == 0 ? QStringLiteral("Primary unreachable — trying backup…")
                             : QStringLiteral("Backup unreachable — trying primary…");
    Log::state(
        Log::Level::Default,
        QStringLiteral("failover %1 → %2").arg(id, other == 1 ? QStringLiteral("backup") : QStringLiteral("primary")));
    r.schedule(failoverDelayMs, [this, id] {
        if (run(id).wanted)
            launch(id);
    });
    return true;
}

void AppState::scheduleReconnectIfNeeded(const QString &id)
{
    TunnelRun &r = run(id);
    if (!r.wanted)
        return;
    Tunnel *t = find(id);
    if (!t)
        return;
    // Not retried: the tunnel stays failed with the runner's reason.
    if ((!r.everConnected && !m_retryBeforeFirstConnect) || !t->autoreconnect) {
        emit gaveUp(id);
        return;
    }
    const int attempt = r.attempts + 1;
    if (m_maxAttempts > 0 && attempt > m_maxAttempts) {
        Log::state(Log::Level::Default,
                   QStringLiteral("auto-reconnect %1: gave up after %2 attempts").arg(id).arg(m_maxAttempts));
        r.wanted = false;
        emit gaveUp(id);
        return;
    }
    r.attempts = attempt;
    const qint64 delaySec = std::min<qint64>(qint64(1) << std::min(attempt - 1, 16), maxBackOffSec);
    t->reason = m_maxAttempts > 0
                    ? QStringLiteral("Reconnecting in %1s (%2/%3)").arg(delaySec).arg(attempt).arg(m_maxAttempts)
                    : QStringLiteral("Reconnecting in %1s (attempt %2)").arg(delaySec).arg(attempt);
    Log::state(Log::Level::Default,
               QStringLiteral("auto-reconnect %1 in %2s (attempt %3)").arg(id).arg(delaySec).arg(attempt));
    r.schedule(delaySec * 1000, [this, id] {
        TunnelRun &due = run(id);
        if (!due.wanted)
            return;
        due.triedHosts.clear();
        if (Tunnel *tunnel = find(id))
            tunnel->activeHostIndex = 0;
        launch(id);
    });
}

// ---- Latency ----------------------------------------------------------------------------------------------------

void AppState::resolveServer(const QString &id, const Tunnel &record)
{
    QPointer<AppState> self(this);
    const quint64 launch = run(id).launches;
    m_resolveServer(record, [self, id, launch](std::optional<ServerAddress> server) {
        if (!self)
            return;
        const auto it = self->m_runs.find(id);
        // Only the launch that asked: a later launch (a failover to the other server, say) asks again.
        if (it != self->m_runs.end() && it->second->launches == launch)
            it->second->server = std::move(server);
    });
}

void AppState::probeLatencies()
{
    QPointer<AppState> self(this);
    for (const Tunnel &t : std::as_const(m_tunnels)) {
        if (t.status != TunnelStatus::Connected || t.type != TunnelType::Local)
            continue;
        const TunnelRun *r = findRun(t.id);
        if (!r || !r->server)
            continue;
        const QString id = t.id;
        const quint64 launch = r->launches;
        m_probe(r->server->host, r->server->port, probeTimeoutSec, [self, id, launch](std::optional<double> ms) {
            if (!self)
                return;
            // A sample of an earlier run says nothing about the server in use now.
            const TunnelRun *current = self->findRun(id);
            if (current && current->launches == launch)
                self->recordLatency(id, ms);
        });
    }
}

void AppState::recordLatency(const QString &id, std::optional<double> ms)
{
    if (!ms)
        return;
    Tunnel *t = find(id);
    if (!t || t->status != TunnelStatus::Connected)
        return;
    TunnelRun::addSample(t->latencyMs, *ms);
    emit tunnelChanged(id);
}

// ---- Operations on the lists ------------------------------------------------------------------------------------

QString AppState::newIdSuffix()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).left(6).toUpper();
}

bool AppState::persist()
{
    QList<Tunnel> own;
    own.reserve(m_tunnels.size());
    for (const Tunnel &t : std::as_const(m_tunnels)) {
        if (!m_borrowedIds.contains(t.id))
            own.append(t);
    }
    const WriteResult tunnels = m_persistHook(own);
    // The groups are written even when the tunnels were not: they are a separate file that may still be fine.
    const WriteResult groups = m_groupsPersistHook(m_groups);
    if (tunnels && groups) {
        Log::state(Log::Level::Info,
                   QStringLiteral("persisted %1 tunnels, %2 groups").arg(own.size()).arg(m_groups.size()));
        if (!m_saveError.isEmpty()) {
            m_saveError.clear();
            emit saveRecovered();
        }
        return true;
    }
    const QString reason = !tunnels ? tunnels.error : groups.error;
    Log::state(Log::Level::Error, QStringLiteral("could not save tunnels: %1").arg(reason));
    if (reason != m_saveError) {
        m_saveError = reason;
        emit saveFailed(reason);
    }
    return false;
}

bool AppState::save(const TunnelForm &form, const std::optional<QString> &editingId)
{
    if (form.host.trimmed().isEmpty())
        return false;
    const QString name = form.name.trimmed().isEmpty() ? form.host : form.name;

    if (editingId) {
        if (Tunnel *t = find(*editingId)) {
            const TunnelStatus was = t->status;
            form.apply(*t);
            t->name = name;
            m_borrowedIds.remove(*editingId);
            tunnelsEdited();
            persist();
            if (isOn(was))
                start(*editingId);
            return true;
        }
    }

    Tunnel t;
    t.id = QStringLiteral("new-") + newIdSuffix();
    t.type = form.type;
    t.host = form.host;
    t.user = form.user;
    t.bindPort = form.bindPort;
    form.apply(t);
    t.name = name;
    m_tunnels.append(t);
    tunnelsEdited();
    persist();
    return true;
}

void AppState::deleteTunnel(const QString &id)
{
    // Not only the child: a deleted tunnel must not keep being wanted, reconnected or holding the system proxy.
    if (find(id))
        stop(id);
    else
        m_ssh->stop(id);
    m_tunnels.removeIf([&id](const Tunnel &t) { return t.id == id; });
    // The index first: observers of the signals below read the list through it.
    rebuildIndex();
    const bool hadLog = m_runs.erase(id) > 0;
    if (hadLog)
        emit logCleared(id);
    if (m_flash.remove(id))
        emit flashChanged(id, false);
    tunnelsEdited();
    persist();
}

void AppState::duplicate(const QString &id)
{
    const auto it = m_index.constFind(id);
    if (it == m_index.cend())
        return;
    const qsizetype at = *it;
    Tunnel copy = m_tunnels.at(at);
    copy.id = id + QStringLiteral("-copy-") + newIdSuffix();
    copy.name = copy.name + QStringLiteral(" copy");
    copy.status = TunnelStatus::Idle;
    copy.reason.reset();
    copy.uptimeSec = 0;
    copy.kbps = 0;
    m_tunnels.insert(at + 1, copy);
    tunnelsEdited();
    persist();
}

std::optional<QString> AppState::addGroup(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    qint64 order = 0;
    if (!m_groups.isEmpty()) {
        order = std::max_element(m_groups.cbegin(), m_groups.cend(),
                                 [](const TunnelGroup &a, const TunnelGroup &b) { return a.order < b.order; })
                    ->order +
                1;
    }
    TunnelGroup group;
    group.id = QStringLiteral("grp-") + newIdSuffix();
    group.name = trimmed;
    group.order = order;
    m_groups.append(group);
    emit groupsChanged();
    persist();
    return group.id;
}

void AppState::renameGroup(const QString &id, const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return;
    for (TunnelGroup &g : m_groups) {
        if (g.id == id) {
            g.name = trimmed;
            emit groupsChanged();
            persist();
            return;
        }
    }
}

void AppState::deleteGroup(const QString &id)
{
    const auto it = std::find_if(m_groups.begin(), m_groups.end(), [&id](const TunnelGroup &g) { return g.id == id; });
    if (it == m_groups.end())
        return;
    bool ungrouped = false;
    for (Tunnel &t : m_tunnels) {
        if (t.groupId == id) {
            t.groupId.reset();
            ungrouped = true;
        }
    }
    m_groups.erase(it);
    emit groupsChanged();
    if (ungrouped)
        emit tunnelsChanged();
    persist();
}

QList<Tunnel> AppState::tunnels(const QString &groupId) const
{
    QList<Tunnel> inGroup;
    for (const Tunnel &t : m_tunnels) {
        if (t.groupId == groupId)
            inGroup.append(t);
    }
    return inGroup;
}

GroupToggleState AppState::groupState(const QString &groupId) const
{
    qsizetype total = 0;
    qsizetype on = 0;
    for (const Tunnel &t : m_tunnels) {
        if (t.groupId != groupId)
            continue;
        ++total;
        if (isOn(t.status))
            ++on;
    }
    if (on == 0)
        return GroupToggleState::None;
    return on == total ? GroupToggleState::All : GroupToggleState::Some;
}

void AppState::toggleGroup(const QString &groupId)
{
    const bool allOn = groupState(groupId) == GroupToggleState::All;
    const QList<Tunnel> members = tunnels(groupId);
    for (const Tunnel &t : members) {
        if (allOn && isOn(t.status))
            stop(t.id);
        else if (!allOn && !isOn(t.status))
            start(t.id);
    }
}

int AppState::importTunnels(const QList<Tunnel> &list)
{
    QSet<QString> existing;
    for (const Tunnel &t : std::as_const(m_tunnels))
        existing.insert(t.id);
    int added = 0;
    for (Tunnel t : list) {
        if (existing.contains(t.id))
            continue;
        t.status = TunnelStatus::Idle;
        t.reason.reset();
        t.uptimeSec = 0;
        t.kbps = 0;
        m_tunnels.append(std::move(t));
        ++added;
    }
    if (added > 0) {
        tunnelsEdited();
        persist();
    }
    Log::state(Log::Level::Info,
               QStringLiteral("imported %1 of %2 tunnels from ssh config").arg(added).arg(list.size()));
    return added;
}

int AppState::importFromProduction()
{
    if (!m_dev)
        return 0;
    QSet<QString> own;
    for (const Tunnel &t : std::as_const(m_tunnels)) {
        if (!m_borrowedIds.contains(t.id))
            own.insert(t.id);
    }
    const QList<Tunnel> installed = Store::readTunnels(false).value_or(QList<Tunnel>());
    int taken = 0;
    QStringList relaunch;
    for (Tunnel t : installed) {
        if (own.contains(t.id))
            continue;
        t.autostart = false;
        t.status = TunnelStatus::Idle;
        t.reason.reset();
        t.uptimeSec = 0;
        t.kbps = 0;
        const QString id = t.id;
        const auto at = std::find_if(m_tunnels.begin(), m_tunnels.end(), [&id](const Tunnel &x) { return x.id == id; });
        if (at != m_tunnels.end()) {
            // The shown (borrowed) record may be running: it keeps its run, and a run whose command the taken-over
            // settings change is relaunched with them, as saving an edit does.
            const bool on = isOn(at->status) || wantsConnection(id);
            const bool sameCommand = at->sshArguments() == t.sshArguments() &&
                                     at->viaBackup().sshArguments() == t.viaBackup().sshArguments();
            t.status = at->status;
            t.reason = at->reason;
            t.uptimeSec = at->uptimeSec;
            t.kbps = at->kbps;
            t.activeHostIndex = at->activeHostIndex;
            t.latencyMs = at->latencyMs;
            *at = std::move(t);
            if (on && !sameCommand)
                relaunch.append(id);
        } else {
            m_tunnels.append(std::move(t));
        }
        m_borrowedIds.remove(id);
        ++taken;
    }
    if (taken > 0) {
        tunnelsEdited();
        persist();
    }
    for (const QString &id : std::as_const(relaunch))
        start(id);
    Log::state(Log::Level::Info, QStringLiteral("imported %1 tunnels from production").arg(taken));
    return taken;
}
