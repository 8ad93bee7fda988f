#include "log/Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <cstdio>
#include <syslog.h>

namespace Log {
namespace {

struct Categories {
    // Debug is off by default (the output reader logs every ssh line); the other levels are on.
    QLoggingCategory ssh{"com.brindlecot.flumewire.ssh", QtInfoMsg};
    QLoggingCategory state{"com.brindlecot.flumewire.state", QtInfoMsg};
    QLoggingCategory app{"com.brindlecot.flumewire.app", QtInfoMsg};

    Categories()
    {
        // Rules set here come before QT_LOGGING_RULES, which can still override them.
        if (qEnvironmentVariableIsSet("FLUMEWIRE_LOG_DEBUG"))
            QLoggingCategory::setFilterRules(QStringLiteral("com.brindlecot.flumewire.*.debug=true"));
    }
};

const Categories &categories()
{
    static const Categories c;
    return c;
}

struct Output {
    QMutex mutex;
    Sink sink;
    const bool mirror = qEnvironmentVariableIsSet("FLUMEWIRE_LOG_STDERR");
    bool opened = false;
};

Output &output()
{
    static Output o;
    return o;
}

// Read without the lock on every message, so a disabled debug line costs no locking.
std::atomic<bool> g_hasSink = false;

QtMsgType messageType(Level level)
{
    switch (level) {
    case Level::Debug:
        return QtDebugMsg;
    case Level::Error:
        return QtCriticalMsg;
    case Level::Default:
    case Level::Info:
        break;
    }
    return QtInfoMsg;
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

const QLoggingCategory &category(Category category)
{
    const Categories &c = categories();
    switch (category) {
    case Category::Ssh:
        return c.ssh;
    case Category::State:
        return c.state;
    case Category::App:
        break;
    }
    return c.app;
}

bool isEnabled(Category c, Level level)
{
    return category(c).isEnabled(messageType(level)) || g_hasSink.load(std::memory_order_relaxed);
}

void write(Category c, Level level, const QString &message)
{
    const QLoggingCategory &cat = category(c);
    const bool toSystem = cat.isEnabled(messageType(level));
    if (!toSystem && !g_hasSink.load(std::memory_order_relaxed))
        return;
    Output &o = output();
    QMutexLocker locker(&o.mutex);
    if (toSystem) {
        if (!o.opened) {
            openlog(subsystem, LOG_PID, LOG_USER);
            o.opened = true;
        }
        // The area is the category's last part: "ssh: ...".
        const QByteArray name(cat.categoryName());
        const QByteArray line = name.mid(name.lastIndexOf('.') + 1) + ": " + message.toUtf8();
        syslog(syslogPriority(level), "%s", line.constData());
        if (o.mirror) {
            std::fprintf(stderr, "%s\n", line.constData());
            std::fflush(stderr);
        }
    }
    if (o.sink)
        o.sink(Entry{c, level, message});
}

void setSink(Sink sink)
{
    Output &o = output();
    QMutexLocker locker(&o.mutex);
    g_hasSink = bool(sink);
    o.sink = std::move(sink);
}

} // namespace Log
