#pragma once

#include "app/TunnelSnapshot.h"

#include <QDBusConnection>
#include <QList>
#include <QString>

class QDBusMessage;

// The command line's end of the running instance's session D-Bus interface (see BusService): one call at a time,
// each answered with what happened.
class BusClient {
public:
    enum class Outcome {
        Done,
        // No session bus, or no process holds the instance's name.
        NotRunning,
        // The instance answered with an error (an unknown id, a refusal); message is its text.
        Refused,
        // The instance did not answer in time, or what answered is not Flumewire.
        NoAnswer,
    };
    struct Result {
        Outcome outcome = Outcome::Done;
        QString message;
    };

    static constexpr int callTimeoutMs = 10000;

    explicit BusClient(bool dev);
    ~BusClient();
    BusClient(const BusClient &) = delete;
    BusClient &operator=(const BusClient &) = delete;

    // False when there is no session bus; busError() says why.
    bool hasBus() const { return m_bus.isConnected(); }
    QString busError() const;
    QDBusConnection connection() const { return m_bus; }
    QString service() const { return m_service; }

    // Calls Start, Stop or Toggle with one id.
    Result act(const QString &method, const QString &id);
    // The running instance's tunnels, in its list order.
    Result list(QList<TunnelSnapshot> &tunnels);

private:
    Result call(const QString &method, const QVariantList &arguments, QDBusMessage &reply);

    QDBusConnection m_bus;
    QString m_service;
};
