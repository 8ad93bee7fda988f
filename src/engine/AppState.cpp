#include "engine/AppState.h"

#include "engine/EventLoopClock.h"
#include "engine/LatencyProbe.h"
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

// Digits with an optional leading sign and nothing else, read as a number from 0 to 65535.
std::optional<quint16> readPort(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return quint16(value);
}

} // namespace

AppState::AppState(AppStateOptions options, QObject *parent)
    : QObject(parent), m_ssh(options.ssh), m_systemProxy(options.systemProxy), m_clock(options.clock),
      m_persistHook(std::move(options.persist)), m_groupsPersistHook(std::move(options.groupsPersist)),
      m_probe(std::move(options.probe)), m_dev(options.dev)
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
    m_ssh->onStatus = [self](const QString &id, TunnelStatus status, const std::optional<QString> &reason) {
        if (self)
            self->applyStatus(id, status, reason);
    };
    m_ssh->onLog = [self](const QString &id, const LogLine &line) {
        if (self)
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
    // With an outside clock, leave nothing of ours behind in it.
    m_clock->cancel(m_uptimeTimer);
    for (Clock::WorkId work : std::as_const(m_reconnectWork))
        m_clock->cancel(work);
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

void AppState::cancelWork(const QString &id)
{
    if (const auto it = m_reconnectWork.constFind(id); it != m_reconnectWork.cend()) {
        m_clock->cancel(*it);
        m_reconnectWork.erase(it);
    }
}

// ---- Lifecycle ------------------------------------------------------------------------------------------------

void AppState::start(const QString &id)
{
    m_wantsConnection.insert(id);
    m_reconnectAttempts.insert(id, 0);
    m_triedHosts.insert(id, {});
    if (Tunnel *t = find(id))
        t->activeHostIndex = 0;
    cancelWork(id);
    launch(id);
}

void AppState::launch(const QString &id)
{
    Tunnel *t = find(id);
    if (!t)
        return;
    const bool useBackup = t->hasBackup() && t->activeHostIndex == 1;
    Log::state(Log::Level::Info,
               QStringLiteral("connect %1 (%2) via %3")
                   .arg(id, rawValue(t->type), useBackup ? QStringLiteral("backup") : QStringLiteral("primary")));
    t->status = TunnelStatus::Connecting;
    t->reason = useBackup ? std::optional<QString>(QStringLiteral("Connecting via backup…")) : std::nullopt;
    t->uptimeSec = 0;
    m_logs.insert(id, {});
    m_triedHosts[id].insert(t->activeHostIndex);
    const Tunnel record = useBackup ? t->viaBackup() : *t;
    emit logCleared(id);
    emit tunnelChanged(id);
    updateGlyph();
    m_ssh->start(record);
}

void AppState::stop(const QString &id)
{
    Tunnel *t = find(id);
    if (!t)
        return;
    m_wantsConnection.remove(id);
    m_everConnected.remove(id);
    m_reconnectAttempts.remove(id);
    m_triedHosts.remove(id);
    cancelWork(id);
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
    // A failure while a failover or reconnect launch is pending repeats the report of the run that already failed
    // (ssh's failure line, then its exit): no child runs until that launch. Counting it again would let a reconnect to
    // the primary replace the pending launch on the backup, so a dead primary would win every cycle.
    if (status == TunnelStatus::Failed && m_reconnectWork.contains(id))
        return;
    // The runner's own "connecting" (it always follows a launch) carries no reason; it must not wipe the reason
    // the launch just gave, or "Connecting via backup…" would never be seen.
    const bool launchReport = status == TunnelStatus::Connecting && !reason && t->status == TunnelStatus::Connecting;
    t->status = status;
    if (!launchReport)
        t->reason = reason;

    if (status == TunnelStatus::Connected) {
        t->uptimeSec = std::max<qint64>(t->uptimeSec, 1);
        m_everConnected.insert(id);
        m_reconnectAttempts.insert(id, 0);
        m_triedHosts.insert(id, {});
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
    QList<LogLine> &log = m_logs[id];
    log.append(line);
    if (log.size() > maxLogLines)
        log.remove(0, log.size() - maxLogLines);
    emit logAppended(id, line);
}

void AppState::tick()
{
    // One pass: count up every connected tunnel and tell only about those.
    bool anyConnected = false;
    for (Tunnel &t : m_tunnels) {
        if (t.status != TunnelStatus::Connected)
            continue;
        anyConnected = true;
        ++t.uptimeSec;
        emit tunnelChanged(t.id);
    }
    if (!anyConnected)
        return;
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
    if (!m_wantsConnection.contains(id))
        return false;
    Tunnel *t = find(id);
    if (!t || !t->hasBackup())
        return false;
    const int current = t->activeHostIndex;
    const int other = current == 0 ? 1 : 0;
    if (m_triedHosts.value(id).contains(other))
        return false;
    t->activeHostIndex = other;
    t->status = TunnelStatus::Connecting;
    t->reason = current == 0 ? QStringLiteral("Primary unreachable — trying backup…")
                             : QStringLiteral("Backup unreachable — trying primary…");
    Log::state(
        Log::Level::Default,
        QStringLiteral("failover %1 → %2").arg(id, other == 1 ? QStringLiteral("backup") : QStringLiteral("primary")));
    cancelWork(id);
    QPointer<AppState> self(this);
    m_reconnectWork.insert(id, m_clock->after(failoverDelayMs, [self, id] {
        if (!self)
            return;
        self->m_reconnectWork.remove(id);
        if (self->m_wantsConnection.contains(id))
            self->launch(id);
    }));
    return true;
}

void AppState::scheduleReconnectIfNeeded(const QString &id)
{
    if (!m_wantsConnection.contains(id) || !m_everConnected.contains(id))
        return;
    Tunnel *t = find(id);
    if (!t || !t->autoreconnect)
        return;
    const int attempt = m_reconnectAttempts.value(id) + 1;
    if (attempt > maxReconnectAttempts) {
        Log::state(Log::Level::Default,
                   QStringLiteral("auto-reconnect %1: gave up after %2 attempts").arg(id).arg(maxReconnectAttempts));
        m_wantsConnection.remove(id);
        return;
    }
    m_reconnectAttempts.insert(id, attempt);
    const qint64 delaySec = std::min<qint64>(qint64(1) << (attempt - 1), 30);
    t->reason = QStringLiteral("Reconnecting in %1s (%2/%3)").arg(delaySec).arg(attempt).arg(maxReconnectAttempts);
    Log::state(Log::Level::Default,
               QStringLiteral("auto-reconnect %1 in %2s (attempt %3)").arg(id).arg(delaySec).arg(attempt));
    cancelWork(id);
    QPointer<AppState> self(this);
    m_reconnectWork.insert(id, m_clock->after(delaySec * 1000, [self, id] {
        if (!self)
            return;
        self->m_reconnectWork.remove(id);
        if (!self->m_wantsConnection.contains(id))
            return;
        self->m_triedHosts.insert(id, {});
        if (Tunnel *t = self->find(id))
            t->activeHostIndex = 0;
        self->launch(id);
    }));
}

// ---- Latency ----------------------------------------------------------------------------------------------------

void AppState::probeLatencies()
{
    QPointer<AppState> self(this);
    const QList<Tunnel> snapshot = m_tunnels;
    for (const Tunnel &t : snapshot) {
        if (t.status != TunnelStatus::Connected || t.type != TunnelType::Local)
            continue;
        const std::optional<quint16> port = readPort(t.fwdBindPort());
        if (!port)
            continue;
        const QString id = t.id;
        m_probe(reachableBind(t.bind), *port, probeTimeoutSec, [self, id](std::optional<double> ms) {
            if (self)
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
    t->latencyMs.append(*ms);
    if (t->latencyMs.size() > latencyWindow)
        t->latencyMs.remove(0, t->latencyMs.size() - latencyWindow);
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
    if (m_logs.remove(id))
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
        if (at != m_tunnels.end())
            *at = std::move(t);
        else
            m_tunnels.append(std::move(t));
        m_borrowedIds.remove(id);
        ++taken;
    }
    if (taken > 0) {
        tunnelsEdited();
        persist();
    }
    Log::state(Log::Level::Info, QStringLiteral("imported %1 tunnels from production").arg(taken));
    return taken;
}
