#pragma once

#include "engine/Clock.h"

#include <QList>

// A clock that only moves when told to: advance() runs every item that falls due, in order of due time (and of
// scheduling for equal times), with now() set to each item's due time while it runs.
class ManualClock : public Clock {
public:
    qint64 now() const override { return m_now; }
    WorkId after(qint64 delayMs, std::function<void()> work) override;
    WorkId every(qint64 intervalMs, std::function<void()> work) override;
    void cancel(WorkId id) override;

    // Moves time forward by ms, running the work that falls due on the way (also work scheduled meanwhile).
    void advance(qint64 ms);
    // Items scheduled and neither finished nor cancelled (repeating ones included).
    qsizetype pendingCount() const { return m_items.size(); }
    // Due time of the earliest pending single-shot item, or -1 when there is none.
    qint64 nextSingleShotDue() const;

private:
    struct Item {
        WorkId id = 0;
        qint64 due = 0;
        qint64 interval = 0; // 0: single shot
        quint64 sequence = 0;
        std::function<void()> work;
    };

    qint64 m_now = 0;
    WorkId m_nextId = 1;
    quint64 m_sequence = 0;
    QList<Item> m_items;
};
