#include "ui/controls/FWCheck.h"

#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"
#include "ui/theme/FWTheme.h"

#include <QPainter>
#include <QPainterPath>

FWCheck::FWCheck(bool on, QWidget *parent) : QAbstractButton(parent), m_on(on)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
}

void FWCheck::setOn(bool on)
{
    m_on = on;
    update();
}

void FWCheck::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    QPainterPath shape;
    shape.addRoundedRect(box(), 5, 5);
    if (m_on) {
        painter.fillPath(shape, theme.accent());
        Icon::paintSymbol(painter, box(), QStringLiteral("checkmark"), 11, QFont::Bold, Qt::white);
    } else {
        painter.fillPath(shape, theme.fieldFill());
        QPainterPath inside;
        inside.addRoundedRect(box().adjusted(0.75, 0.75, -0.75, -0.75), 4.25, 4.25);
        painter.strokePath(inside, QPen(theme.tint(0.13, 0.13), 1.5));
    }
    if (showsFocusRing(this))
        paintFocusRing(painter, box(), 5, theme);
}
