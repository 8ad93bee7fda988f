#pragma once

#include <QString>
#include <functional>

// The one diagnostics channel: subsystem "com.brindlecot.flumewire", categories "ssh", "state", "app".
// Messages go to syslog (journald here, the unified log on macOS), optionally mirrored to stderr,
// and to an installed sink (tests capture messages through it).
namespace Log {

enum class Category { Ssh, State, App };
enum class Level { Default, Info, Debug, Error };

struct Entry {
    Category category = Category::App;
    Level level = Level::Default;
    QString message;
};

using Sink = std::function<void(const Entry &)>;

inline constexpr const char *subsystem = "com.brindlecot.flumewire";

QString categoryName(Category category);
QString levelName(Level level);

// Writes one message. Safe from any thread.
void write(Category category, Level level, const QString &message);

inline void ssh(Level level, const QString &message)
{
    write(Category::Ssh, level, message);
}
inline void state(Level level, const QString &message)
{
    write(Category::State, level, message);
}
inline void app(Level level, const QString &message)
{
    write(Category::App, level, message);
}

// Installs (or, with an empty function, removes) an extra receiver of every message.
void setSink(Sink sink);
// Mirrors every message to stderr as "category: message" (also on when FLUMEWIRE_LOG_STDERR is set).
void setMirrorToStderr(bool on);
// Debug messages are dropped unless asked for (FLUMEWIRE_LOG_DEBUG, or this call): the reader logs every ssh line.
void setDebugEnabled(bool on);

} // namespace Log
