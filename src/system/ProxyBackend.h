#pragma once

#include <QJsonObject>
#include <QString>
#include <memory>
#include <optional>

// One platform's way of switching the system SOCKS proxy. Every call blocks (tool runs, administrator prompts) and
// is made on the system proxy's worker thread only.
//
// The prior setting is kept as a small JSON object so that it can be written to disk while the proxy is switched
// and put back after an unclean exit; the shell-command form is derived from it, never stored, so a file that was
// tampered with cannot smuggle a command into an administrator run.
class ProxyBackend {
public:
    virtual ~ProxyBackend() = default;

    // Stable short name ("macos", "gnome", "none"), written beside the saved prior setting.
    virtual QString name() const = 0;
    // Reads the current setting and points the system SOCKS proxy at host:port. Returns the prior setting when the
    // switch was made; none when nothing was changed (the reason has been logged).
    virtual std::optional<QJsonObject> enable(const QString &host, const QString &port) = 0;
    // The shell command that puts `prior` back; empty when `prior` is not one of this backend's.
    virtual QString restoreCommand(const QJsonObject &prior) const = 0;
    // Puts `prior` back; true when that worked.
    virtual bool restore(const QJsonObject &prior) = 0;
    // True when the setting that `prior` was recorded for is now the SOCKS proxy host:port, switched on; false when
    // it is something else or cannot be read.
    virtual bool pointsAt(const QJsonObject &prior, const QString &host, const QString &port) const = 0;

    // The value in single quotes, each single quote inside written as '\'' (close, escaped quote, reopen).
    static QString shellQuote(const QString &value);

    // The backend for this machine: built per platform (see src/CMakeLists.txt). May run tools to find out what
    // the desktop offers, so it is called on the worker thread.
    static std::unique_ptr<ProxyBackend> forThisSystem();
};
