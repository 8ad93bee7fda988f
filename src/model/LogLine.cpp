#include "model/LogLine.h"

#include <QTime>

LogLine LogLine::make(const QString &text)
{
    return LogLine{QUuid::createUuid(), QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text};
}
