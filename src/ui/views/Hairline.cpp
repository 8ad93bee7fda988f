#include "ui/views/Hairline.h"

#include "ui/theme/FWTheme.h"

#include <QPainter>

Hairline::Hairline(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Hairline::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), FWTheme::of(this).hairline(0.085));
}
