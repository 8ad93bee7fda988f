#include "engine/ManualClock.h"

#include <algorithm>

Clock::WorkId ManualClock::after(qint64 delayMs, std::function<void()> work)
{
    const WorkId id = m_nextId++;
    m_items.append({id, m_now + std::max<qint64>(0, delayMs), 0, m_sequence++, std::move(work)});
    return id;
}

Clock::WorkId ManualClock::every(qint64 intervalMs, std::function<void()> work)
{
    const WorkId id = m_nextId++;
    const qint64 interval = std::max<qint64>(1, intervalMs);
    m_items.append({id, m_now + interval, interval, m_sequence++, std::move(work)});
    return id;
}

void ManualClock::cancel(WorkId id)
{
    m_items.removeIf([id](const Item &item) { return item.id == id; });
}

void ManualClock::advance(qint64 ms)
{
    const qint64 target = m_now + std::max<qint64>(0, ms);
    for (;;) {
        auto next = std::min_element(m_items.begin(), m_items.end(), [](const Item &a, const Item &b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (next == m_items.end() || next->due > target)
            break;
        m_now = next->due;
        std::function<void()> work = next->work;
        if (next->interval > 0) {
            next->due += next->interval;
            next->sequence = m_sequence++;
        } else {
            m_items.erase(next);
        }
        work();
    }
    m_now = target;
}

qint64 ManualClock::nextSingleShotDue() const
{
    qint64 due = -1;
    for (const Item &item : m_items) {
        if (item.interval == 0 && (due < 0 || item.due < due))
            due = item.due;
    }
    return due;
}
