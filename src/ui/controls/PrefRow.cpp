#include "ui/controls/PrefRow.h"

#include "ui/controls/FWLabel.h"

#include <QBoxLayout>

PrefRow::PrefRow(const QString &label, QWidget *content, const std::optional<QString> &hint, bool top, QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto row = new QHBoxLayout(this);
    row->setContentsMargins(0, 9, 0, 9);
    row->setSpacing(12);
    auto left = new QWidget;
    left->setFixedWidth(200);
    auto column = new QVBoxLayout(left);
    column->setContentsMargins(0, top ? 2 : 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(new FWLabel(label, FWTheme::font(12.5, QFont::Medium), FWTheme::Role::Text));
    if (hint) {
        auto hintLabel = new FWLabel(*hint, FWTheme::font(11), FWTheme::Role::Text3);
        hintLabel->setWrapping(true, 1.4);
        column->addWidget(hintLabel);
    }
    if (top)
        column->addStretch(1);
    row->addWidget(left, 0, top ? Qt::AlignTop : Qt::AlignVCenter);
    if (content)
        row->addWidget(content, 1, top ? Qt::AlignTop : Qt::AlignVCenter);
}
