#include "support/LogCapture.h"

LogCapture::LogCapture()
{
    Log::setSink([this](const Log::Entry &entry) {
        QMutexLocker locker(&m_mutex);
        m_entries.append(entry);
    });
}

QStringList LogCapture::messages(Log::Category category) const
{
    QMutexLocker locker(&m_mutex);
    QStringList out;
    for (const Log::Entry &e : m_entries) {
        if (e.category == category)
            out << e.message;
    }
    return out;
}

bool LogCapture::contains(const QString &message) const
{
    QMutexLocker locker(&m_mutex);
    return std::ranges::any_of(m_entries, [&](const Log::Entry &e) { return e.message == message; });
}
