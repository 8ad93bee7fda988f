#pragma once

#include "system/ProxyBackend.h"

// Where the desktop offers no system proxy setting we know how to switch: enable logs that and changes nothing.
class NoProxyBackend : public ProxyBackend {
public:
    QString name() const override { return QStringLiteral("none"); }
    std::optional<QJsonObject> enable(const QString &host, const QString &port) override;
    QString restoreCommand(const QJsonObject &) const override { return {}; }
    bool restore(const QJsonObject &) override { return false; }
    bool pointsAt(const QJsonObject &, const QString &, const QString &) const override { return false; }
};
