#include "ui/controls/GroupCard.h"

#include "ui/theme/FWTheme.h"

#include <QBoxLayout>
#include <QPainter>
#include <QPainterPath>

GroupCard::GroupCard(QWidget *content, QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 4, 16, 4);
    if (content)
        layout->addWidget(content);
}

void GroupCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    QPainterPath card;
    card.addRoundedRect(cardRect(), 10, 10);
    painter.fillPath(card, theme.surface());
    QPainterPath hairline;
    hairline.addRoundedRect(cardRect().adjusted(0.5, 0.5, -0.5, -0.5), 9.5, 9.5);
    painter.strokePath(hairline, QPen(theme.hairline(0.085), 1));
}
