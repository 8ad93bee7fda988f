#include "app/WaybarStatus.h"

#include "model/ControlCharacters.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

// Worse states rank higher.
int rank(TunnelStatus status)
{
    switch (status) {
    case TunnelStatus::Failed:
        return 3;
    case TunnelStatus::Connecting:
        return 2;
    case TunnelStatus::Connected:
        return 1;
    case TunnelStatus::Idle:
        return 0;
    }
    return 0;
}

QString markup(const QString &text)
{
    return ControlCharacters::escaped(text).toHtmlEscaped();
}

} // namespace

QByteArray WaybarStatus::line(const QList<TunnelSnapshot> &tunnels, bool running)
{
    int connected = 0;
    TunnelStatus worst = TunnelStatus::Idle;
    QStringList tooltip;
    if (!running)
        tooltip << QStringLiteral("Flumewire is not running");
    else if (tunnels.isEmpty())
        tooltip << QStringLiteral("No tunnels");
    for (const TunnelSnapshot &t : tunnels) {
        if (t.status == TunnelStatus::Connected)
            ++connected;
        if (rank(t.status) > rank(worst))
            worst = t.status;
        QString entry = markup(t.name.isEmpty() ? t.id : t.name) + QStringLiteral(": ") + textOf(t.status);
        if (t.reason)
            entry += QStringLiteral(" (") + markup(*t.reason) + QLatin1Char(')');
        tooltip << entry;
    }
    const QJsonObject object{
        {QStringLiteral("text"), QStringLiteral("\u21c4 %1").arg(connected)},
        {QStringLiteral("tooltip"), tooltip.join(QLatin1Char('\n'))},
        {QStringLiteral("class"), textOf(worst)},
        {QStringLiteral("alt"), textOf(worst)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
