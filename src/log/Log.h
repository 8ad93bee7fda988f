#pragma once

#include <QLoggingCategory>
#include <QString>
#include <functional>

// The one diagnostics channel: a Qt logging category per area, "com.brindlecot.flumewire.ssh", ".state" and ".app".
// A message its category lets through goes to syslog (journald here, the unified log on macOS) as "area: message",
// is mirrored to stderr when FLUMEWIRE_LOG_STDERR is set, and reaches an installed sink (tests capture messages
// through it). Debug messages are off unless FLUMEWIRE_LOG_DEBUG is set or QT_LOGGING_RULES turns them on
// ("com.brindlecot.flumewire.ssh.debug=true"); rules can silence an area too.
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

const QLoggingCategory &category(Category category);

// Whether a message of that area and level goes anywhere: check it before formatting one on a hot path.
bool isEnabled(Category category, Level level);

// Writes one message when its category lets it through. Safe from any thread (the system proxy's worker logs too).
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

// Installs (or, with an empty function, removes) an extra receiver of every message, debug ones included.
void setSink(Sink sink);

} // namespace Log
