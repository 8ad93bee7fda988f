#include "support/LogCapture.h"

LogCapture::LogCapture()
{
    Log::setSink([this](const Log::Entry &entry) {
        QMutexLocker locker(&m_mutex);
        m_entries.append(entry);
    });
}

LogCapture::~LogCapture()
{
    Log::setSink({});
}

QList<Log::Entry> LogCapture::entries() const
{
    QMutexLocker locker(&m_mutex);
    return m_entries;
}

QStringList LogCapture::messages(Log::Category category) const
{
    QStringList out;
    for (const Log::Entry &e : entries()) {
        if (e.category == category)
            out << e.message;
    }
    return out;
}

bool LogCapture::contains(const QString &message) const
{
    for (const Log::Entry &e : entries()) {
        if (e.message == message)
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    QMutexLocker locker(&m_mutex);
    m_entries.clear();
}
