#include "engine/LatencyProbe.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

namespace {

// One probe in flight: owns its socket and timeout, completes once, then deletes itself.
class ProbeBox : public QObject {
public:
    ProbeBox(QString host, quint16 port, double timeoutSec, LatencyProbe::Completion done)
        : m_host(std::move(host)), m_port(port), m_timeoutMs(int(qBound(0.0, timeoutSec * 1000.0, 24.0 * 3600 * 1000))),
          m_done(std::move(done))
    {
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, [this] { complete(std::nullopt); });
        connect(&m_socket, &QTcpSocket::connected, this,
                [this] { complete(double(m_elapsed.nsecsElapsed()) / 1'000'000.0); });
        connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] { complete(std::nullopt); });
        // A server given by name is looked up first; the time that counts starts when the connection attempt does.
        connect(&m_socket, &QAbstractSocket::hostFound, this, [this] { m_elapsed.start(); });
    }

    void begin()
    {
        m_timeout.start(m_timeoutMs);
        m_elapsed.start();
        m_socket.connectToHost(m_host, m_port);
    }

private:
    void complete(std::optional<double> ms)
    {
        if (m_completed)
            return;
        // Set before aborting: the abort may report on the socket again and must find the probe finished.
        m_completed = true;
        m_timeout.stop();
        m_socket.abort();
        LatencyProbe::Completion done = std::move(m_done);
        deleteLater();
        if (done)
            done(ms);
    }

    QString m_host;
    quint16 m_port = 0;
    int m_timeoutMs = 0;
    LatencyProbe::Completion m_done;
    QTcpSocket m_socket;
    QTimer m_timeout;
    QElapsedTimer m_elapsed;
    bool m_completed = false;
};

} // namespace

void LatencyProbe::probe(const QString &host, quint16 port, double timeoutSec, Completion done)
{
    auto *box = new ProbeBox(host, port, timeoutSec, std::move(done));
    // Start from the event loop, so even an immediate failure completes after probe() has returned.
    QMetaObject::invokeMethod(
        box, [box] { box->begin(); }, Qt::QueuedConnection);
}
