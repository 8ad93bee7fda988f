#include "ui/views/MiniRoute.h"

#include "ui/controls/FWLabel.h"
#include "ui/controls/Icon.h"

#include <QBoxLayout>
#include <algorithm>

MiniRoute::MiniRoute(const Tunnel &tunnel, QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(5);
    const QFont mono = FWTheme::font(11, QFont::Normal, true);
    m_from = new FWLabel({}, mono, FWTheme::Role::Text2, this);
    m_to = new FWLabel({}, mono, FWTheme::Role::Text2, this);
    // Long addresses give way (elided) rather than pushing the row's switch out.
    m_from->setMinimumWidth(1);
    m_to->setMinimumWidth(1);
    line->addWidget(m_from);
    line->addWidget(new Icon(QStringLiteral("arrowRight"), 11, QFont::Medium, FWTheme::Role::Text3, this));
    line->addWidget(m_to);
    line->addStretch(1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setTunnel(tunnel);
}

void MiniRoute::setTunnel(const Tunnel &tunnel)
{
    m_from->setText(tunnel.from());
    // The listening end is what the user types into a client, so it gives way only after the destination has.
    m_from->setMinimumWidth(std::min(m_from->sizeHint().width(), 120));
    const bool socks = tunnel.type == TunnelType::Socks;
    m_to->setText(socks ? QStringLiteral("SOCKS") : tunnel.to());
    const FWTheme::Role role = socks ? FWTheme::Role::Accent : FWTheme::Role::Text2;
    if (m_to->role() != role)
        m_to->setRole(role);
}

QString MiniRoute::fromText() const
{
    return m_from->text();
}

QString MiniRoute::toText() const
{
    return m_to->text();
}

bool MiniRoute::toIsAccent() const
{
    return m_to->role() == FWTheme::Role::Accent;
}
