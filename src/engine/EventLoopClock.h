#pragma once

#include "engine/Clock.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

class QTimer;

// The real clock: one owned QTimer per pending item on the thread's event loop; cancelling stops and frees it.
class EventLoopClock : public QObject, public Clock {
    Q_OBJECT
public:
    explicit EventLoopClock(QObject *parent = nullptr);
    ~EventLoopClock() override;

    qint64 now() const override;
    WorkId after(qint64 delayMs, std::function<void()> work) override;
    WorkId every(qint64 intervalMs, std::function<void()> work) override;
    void cancel(WorkId id) override;

    // Items scheduled and neither finished nor cancelled.
    qsizetype pendingCount() const { return m_timers.size(); }

private:
    WorkId schedule(qint64 delayMs, bool repeat, std::function<void()> work);

    QElapsedTimer m_elapsed;
    QHash<WorkId, QTimer *> m_timers;
    WorkId m_nextId = 1;
};
