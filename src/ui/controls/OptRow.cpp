#include "ui/controls/OptRow.h"

#include "ui/controls/FWLabel.h"
#include "ui/controls/WarpToggle.h"

#include <QBoxLayout>

OptRow::OptRow(const QString &label, const std::optional<QString> &hint, bool checked, QWidget *badge, QWidget *parent)
    : QWidget(parent), m_toggle(new WarpToggle(checked, TunnelStatus::Connected, true))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(8);
    auto column = new QVBoxLayout;
    column->setSpacing(0);
    auto firstLine = new QHBoxLayout;
    firstLine->setSpacing(6);
    firstLine->addWidget(new FWLabel(label, FWTheme::font(12.5), FWTheme::Role::Text));
    if (badge)
        firstLine->addWidget(badge);
    firstLine->addStretch(1);
    column->addLayout(firstLine);
    if (hint) {
        auto hintLabel = new FWLabel(*hint, FWTheme::font(11), FWTheme::Role::Text3);
        hintLabel->setWrapping(true, 1.4);
        column->addWidget(hintLabel);
    }
    row->addLayout(column, 1);
    row->addWidget(m_toggle, 0, Qt::AlignVCenter);
    m_toggle->setAccessibleName(label);
    connect(m_toggle, &WarpToggle::changed, this, &OptRow::toggled);
}

void OptRow::setChecked(bool checked)
{
    m_toggle->setOn(checked);
}

bool OptRow::checked() const
{
    return m_toggle->isOn();
}
