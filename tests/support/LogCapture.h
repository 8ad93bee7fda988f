#pragma once

#include "log/Log.h"

#include <QList>
#include <QMutex>
#include <QStringList>

// Collects every log message while it lives (one at a time per process).
class LogCapture {
public:
    LogCapture();
    ~LogCapture() { Log::setSink({}); }

    // Messages of one category, in order.
    QStringList messages(Log::Category category) const;
    bool contains(const QString &message) const;

private:
    mutable QMutex m_mutex;
    QList<Log::Entry> m_entries;
};
