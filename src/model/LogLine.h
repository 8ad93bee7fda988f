#pragma once

#include <QString>
#include <QUuid>

// One line of a tunnel's log: a fresh id, the local time as "HH:mm:ss", and the text.
struct LogLine {
    QUuid id;
    QString time;
    QString text;

    // A line stamped now with a new id.
    static LogLine make(const QString &text);

    bool operator==(const LogLine &) const = default;
};
