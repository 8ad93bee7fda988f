#include "log/Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <cstdio>
#include <syslog.h>

namespace Log {
namespace {

struct State {
    QMutex mutex;
    Sink sink;
    bool mirror = qEnvironmentVariableIsSet("FLUMEWIRE_LOG_STDERR");
    bool debug = qEnvironmentVariableIsSet("FLUMEWIRE_LOG_DEBUG");
    bool opened = false;
};

State &state()
{
    static State s;
    return s;
}

int syslogPriority(Level level)
{
    switch (level) {
    case Level::Default:
        return LOG_NOTICE;
    case Level::Info:
        return LOG_INFO;
    case Level::Debug:
        return LOG_DEBUG;
    case Level::Error:
        return LOG_ERR;
    }
    return LOG_NOTICE;
}

} // namespace

QString categoryName(Category category)
{
    switch (category) {
    case Category::Ssh:
        return QStringLiteral("ssh");
    case Category::State:
        return QStringLiteral("state");
    case Category::App:
        return QStringLiteral("app");
    }
    return {};
}

QString levelName(Level level)
{
    switch (level) {
    case Level::Default:
        return QStringLiteral("default");
    case Level::Info:
        return QStringLiteral("info");
    case Level::Debug:
        return QStringLiteral("debug");
    case Level::Error:
        return QStringLiteral("error");
    }
    return {};
}

void write(Category category, Level level, const QString &message)
{
    State &s = state();
    Sink sink;
    bool mirror = false;
    bool debug = false;
    {
        QMutexLocker locker(&s.mutex);
        sink = s.sink;
        mirror = s.mirror;
        debug = s.debug;
        if (level == Level::Debug && !s.debug && !sink)
            return;
        if (!s.opened) {
            openlog(subsystem, LOG_PID, LOG_USER);
            s.opened = true;
        }
    }
    const QByteArray line = (categoryName(category) + QStringLiteral(": ") + message).toUtf8();
    if (level != Level::Debug || debug) {
        syslog(syslogPriority(level), "%s", line.constData());
        if (mirror) {
            std::fprintf(stderr, "%s\n", line.constData());
            std::fflush(stderr);
        }
    }
    if (sink)
        sink(Entry{category, level, message});
}

void setSink(Sink sink)
{
    QMutexLocker locker(&state().mutex);
    state().sink = std::move(sink);
}

void setMirrorToStderr(bool on)
{
    QMutexLocker locker(&state().mutex);
    state().mirror = on;
}

void setDebugEnabled(bool on)
{
    QMutexLocker locker(&state().mutex);
    state().debug = on;
}

} // namespace Log
