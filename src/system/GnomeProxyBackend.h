#pragma once

#include "system/ProxyBackend.h"

#include <QProcessEnvironment>

// The GNOME desktop's proxy settings (org.gnome.system.proxy and its socks, http, https and ftp children), read and
// written through the gsettings tool; no administrator is needed. Enabling sets mode "manual" with the SOCKS host
// and port; when the prior mode was not manual, HTTP, HTTPS and FTP hosts left over from earlier use are blanked
// so that only the SOCKS proxy takes effect. Exactly the keys that were changed are recorded and put back.
class GnomeProxyBackend : public ProxyBackend {
public:
    // gsettings: absolute path of the tool; environment: the one its runs get (the user's session by default).
    explicit GnomeProxyBackend(QString gsettings,
                               QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    // True when gsettings runs and knows the proxy schemas.
    bool isAvailable() const;

    QString name() const override { return QStringLiteral("gnome"); }
    std::optional<QJsonObject> enable(const QString &host, const QString &port) override;
    QString restoreCommand(const QJsonObject &prior) const override;
    bool restore(const QJsonObject &prior) override;
    bool pointsAt(const QJsonObject &prior, const QString &host, const QString &port) const override;

    // A GVariant string literal for `text` (single quotes; backslash and single quote escaped).
    static QString gvariantString(const QString &text);

private:
    struct Change {
        QString schema;
        QString key;
        QString value;
    };

    // Runs gsettings with a time limit; its trimmed output, or none when it failed.
    std::optional<QString> run(const QStringList &arguments) const;
    std::optional<QString> get(const QString &schema, const QString &key) const;
    bool set(const QString &schema, const QString &key, const QString &value) const;
    // The recorded changes of a prior setting, or none when it is not one this backend wrote.
    static std::optional<QList<Change>> changesOf(const QJsonObject &prior);

    QString m_gsettings;
    QProcessEnvironment m_environment;
};
