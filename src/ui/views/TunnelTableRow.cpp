#include "ui/views/TunnelTableRow.h"

#include "ui/controls/FWLabel.h"
#include "ui/controls/Icon.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/TypeChip.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/PlainIconButton.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {

QWidget *fixedColumn(QWidget *content, int width, Qt::Alignment alignment, QWidget *parent)
{
    auto cell = new QWidget(parent);
    cell->setFixedWidth(width);
    cell->setAttribute(Qt::WA_TranslucentBackground);
    auto layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content, 0, alignment);
    return cell;
}

} // namespace

QList<int> TunnelTableRow::columnWidths()
{
    return {26, 0, 70, 0, 64, 30};
}

TunnelTableRow::TunnelTableRow(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(rowHeight);
    auto row = new QHBoxLayout(this);
    row->setContentsMargins(sidePadding, 8, sidePadding, 8);
    row->setSpacing(columnSpacing);
    const QList<int> widths = columnWidths();

    m_dot = new StatusDot(TunnelStatus::Idle, 8);
    row->addWidget(fixedColumn(m_dot, widths.at(0), Qt::AlignCenter, this));

    auto name = new QWidget(this);
    name->setAttribute(Qt::WA_TranslucentBackground);
    auto nameColumn = new QVBoxLayout(name);
    nameColumn->setContentsMargins(0, 0, 0, 0);
    nameColumn->setSpacing(1);
    m_name = new FWLabel({}, FWTheme::font(12.5, QFont::DemiBold), FWTheme::Role::Text, name);
    m_userHost = new FWLabel({}, FWTheme::font(10.5), FWTheme::Role::Text3, name);
    nameColumn->addWidget(m_name);
    nameColumn->addWidget(m_userHost);
    name->setMinimumWidth(0);
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(name, 1);

    m_chip = new TypeChip(TunnelType::Local);
    row->addWidget(fixedColumn(m_chip, widths.at(2), Qt::AlignLeft | Qt::AlignVCenter, this));

    auto route = new QWidget(this);
    route->setAttribute(Qt::WA_TranslucentBackground);
    route->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto routeLine = new QHBoxLayout(route);
    routeLine->setContentsMargins(0, 0, 0, 0);
    routeLine->setSpacing(5);
    m_from = new FWLabel({}, FWTheme::font(11, QFont::Normal, true), FWTheme::Role::Text2, route);
    m_to = new FWLabel({}, FWTheme::font(11, QFont::Normal, true), FWTheme::Role::Text2, route);
    routeLine->addWidget(m_from);
    routeLine->addWidget(new Icon(QStringLiteral("arrowRight"), 11, QFont::Normal, FWTheme::Role::Text3, route));
    routeLine->addWidget(m_to);
    routeLine->addStretch(1);
    row->addWidget(route, 1);

    m_toggle = new WarpToggle(false, TunnelStatus::Idle, true);
    connect(m_toggle, &WarpToggle::changed, this, [this](bool) {
        if (onToggle && !m_id.isEmpty())
            onToggle(m_id);
    });
    row->addWidget(fixedColumn(m_toggle, widths.at(4), Qt::AlignCenter, this));

    m_edit = new PlainIconButton(QStringLiteral("pencil"), 14, QFont::Normal, FWTheme::Role::Text2, QSize(26, 26));
    m_edit->setToolTip(QStringLiteral("Edit tunnel"));
    m_edit->setAccessibleName(QStringLiteral("Edit tunnel"));
    connect(m_edit, &QAbstractButton::clicked, this, [this] {
        if (onEdit && !m_id.isEmpty())
            onEdit(m_id);
    });
    row->addWidget(fixedColumn(m_edit, widths.at(5), Qt::AlignCenter, this));
}

void TunnelTableRow::setTunnel(const Tunnel &tunnel, bool selected)
{
    const bool sameTunnel = tunnel.id == m_id;
    m_id = tunnel.id;
    m_dot->setStatus(tunnel.status);
    m_name->setText(tunnel.name);
    m_userHost->setText(tunnel.user + QLatin1Char('@') + tunnel.host);
    m_chip->setType(tunnel.type);
    m_from->setText(tunnel.from());
    m_to->setText(tunnel.type == TunnelType::Socks ? QStringLiteral("SOCKS") : tunnel.to());
    m_toggle->setStatus(tunnel.status);
    m_toggle->setOn(isOn(tunnel.status));
    // A row taken over for another tunnel shows that tunnel's switch as it is; only a change of one tunnel moves.
    if (!sameTunnel)
        m_toggle->knobAnimator()->jumpTo(isOn(tunnel.status) ? 1 : 0);
    setAccessibleName(tunnel.name);
    if (selected != m_selected) {
        m_selected = selected;
        update();
    }
}

QString TunnelTableRow::nameText() const
{
    return m_name->text();
}

QString TunnelTableRow::userHostText() const
{
    return m_userHost->text();
}

QString TunnelTableRow::routeText() const
{
    return m_from->text() + QStringLiteral(" → ") + m_to->text();
}

void TunnelTableRow::paintEvent(QPaintEvent *)
{
    if (!m_selected)
        return;
    QColor tint = FWTheme::of(this).accent();
    tint.setAlphaF(0.13);
    QPainter(this).fillRect(rect(), tint);
}

void TunnelTableRow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && onSelect && !m_id.isEmpty())
        onSelect(m_id);
}

void TunnelTableRow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_id.isEmpty())
        return;
    // The first click of the pair already selected the row.
    if (onEdit)
        onEdit(m_id);
}
