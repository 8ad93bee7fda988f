#include "engine/EventLoopClock.h"

#include <QTimer>
#include <algorithm>
#include <limits>

EventLoopClock::EventLoopClock(QObject *parent) : QObject(parent)
{
    m_elapsed.start();
}

EventLoopClock::~EventLoopClock()
{
    for (QTimer *timer : std::as_const(m_timers))
        timer->stop();
}

qint64 EventLoopClock::now() const
{
    return m_elapsed.elapsed();
}

Clock::WorkId EventLoopClock::after(qint64 delayMs, std::function<void()> work)
{
    return schedule(delayMs, false, std::move(work));
}

Clock::WorkId EventLoopClock::every(qint64 intervalMs, std::function<void()> work)
{
    return schedule(intervalMs, true, std::move(work));
}

void EventLoopClock::cancel(WorkId id)
{
    if (QTimer *timer = m_timers.take(id)) {
        timer->stop();
        timer->deleteLater();
    }
}

Clock::WorkId EventLoopClock::schedule(qint64 delayMs, bool repeat, std::function<void()> work)
{
    const WorkId id = m_nextId++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    timer->setInterval(int(std::clamp<qint64>(delayMs, 0, std::numeric_limits<int>::max())));
    connect(timer, &QTimer::timeout, this, [this, id, repeat, work = std::move(work)] {
        if (!repeat) {
            // Forget the item before running it, so the work may schedule or cancel freely.
            if (QTimer *done = m_timers.take(id))
                done->deleteLater();
            else
                return;
        }
        work();
    });
    m_timers.insert(id, timer);
    timer->start();
    return id;
}
