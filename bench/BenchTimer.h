#pragma once

#include <QElapsedTimer>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <functional>

// Runs work `runs` times and returns each run's duration in microseconds, sorted.
inline QList<double> measureMicros(int runs, const std::function<void()> &work)
{
    QList<double> samples;
    samples.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.append(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

inline double percentile(const QList<double> &sorted, double p)
{
    if (sorted.isEmpty())
        return 0;
    const qsizetype index = std::min<qsizetype>(sorted.size() - 1, qsizetype(p * sorted.size()));
    return sorted.at(index);
}

inline void report(const char *name, double value, const char *unit)
{
    std::printf("%s: %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}
