#include "ui/views/ToolTab.h"

#include "ui/controls/Icon.h"
#include "ui/theme/FWTheme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {
QFont labelFont()
{
    return FWTheme::font(11, QFont::Medium);
}
} // namespace

ToolTab::ToolTab(const QString &icon, const QString &label, QWidget *parent)
    : QAbstractButton(parent), m_icon(icon), m_label(label)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setText(label);
    setAccessibleName(label);
    setFixedSize(sizeHint());
}

QSize ToolTab::sizeHint() const
{
    const qreal textWidth = QFontMetricsF(labelFont()).horizontalAdvance(m_label);
    const qreal width = std::max<qreal>(64, textWidth) + 28;
    const qreal height = 6 + 19 + 3 + QFontMetricsF(labelFont()).height() + 6;
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}

void ToolTab::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void ToolTab::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void ToolTab::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void ToolTab::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    QColor fill = Qt::transparent;
    QColor ink = theme.text2();
    if (m_active) {
        ink = theme.accent();
        fill = theme.accent();
        fill.setAlphaF(0.16);
    } else if (m_hover) {
        fill = theme.tint(0.06, 0.045);
    }
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 8, 8);
    painter.fillPath(plate, fill);
    const QRectF iconRect(0, 6, width(), 19);
    Icon::paintSymbol(painter, iconRect, Icon::symbolFor(m_icon), 19, QFont::Medium, ink);
    painter.setFont(labelFont());
    painter.setPen(ink);
    painter.drawText(QRectF(0, 6 + 19 + 3, width(), QFontMetricsF(labelFont()).height()), Qt::AlignCenter, m_label);
}
