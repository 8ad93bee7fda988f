#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt signal on the main event loop (through a socket
// pair: the handler itself only writes one byte). One instance per process.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signal);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
