#include "engine/LatencyProbe.h"
#include "support/FreePort.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class TstLatencyProbe : public QObject {
    Q_OBJECT
private slots:
    void completesExactlyOnce()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        // Never accepts, and its backlog is full, so that further handshakes go unanswered.
        QTcpServer silent;
        silent.setListenBacklogSize(0);
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        silent.pauseAccepting();
        QTcpSocket fillers[4];
        for (QTcpSocket &filler : fillers)
            filler.connectToHost(QHostAddress::LocalHost, silent.serverPort());

        // A listener gives a time; a closed port and a handshake that never completes give none. Each completes once,
        // never from inside probe(), and the timeout passing later must not complete it a second time.
        const QList<std::pair<quint16, bool>> cases{
            {server.serverPort(), true}, {freePort(), false}, {silent.serverPort(), false}};
        for (const auto &[port, answers] : cases) {
            int calls = 0;
            std::optional<double> ms;
            LatencyProbe::probe("127.0.0.1", port, 0.3, [&](std::optional<double> result) {
                ++calls;
                ms = result;
            });
            QCOMPARE(calls, 0);
            QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 3000);
            QVERIFY2(ms.has_value() == answers && ms.value_or(0) >= 0, qPrintable(QString::number(port)));
            QTest::qWait(500);
            QCOMPARE(calls, 1);
        }
    }
};

QTEST_GUILESS_MAIN(TstLatencyProbe)
#include "tst_LatencyProbe.moc"
