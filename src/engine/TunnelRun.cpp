#include "engine/TunnelRun.h"

void TunnelRun::schedule(qint64 delayMs, std::function<void()> work)
{
    cancelWork();
    // The run owns the item and cancels it when it goes, so the work never outlives the run.
    m_pending = m_clock->after(delayMs, [this, work = std::move(work)] {
        m_pending = 0;
        work();
    });
}

void TunnelRun::cancelWork()
{
    if (m_pending != 0)
        m_clock->cancel(m_pending);
    m_pending = 0;
}

void TunnelRun::appendLog(const LogLine &line)
{
    m_log.append(line);
    if (m_log.size() > maxLogLines)
        m_log.remove(0, m_log.size() - maxLogLines);
}

void TunnelRun::addSample(QList<double> &window, double ms)
{
    window.append(ms);
    if (window.size() > latencyWindow)
        window.remove(0, window.size() - latencyWindow);
}
