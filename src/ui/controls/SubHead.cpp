#include "ui/controls/SubHead.h"

#include <QBoxLayout>

SubHead::SubHead(const QString &text, QWidget *parent)
    : QWidget(parent),
      m_label(new FWLabel(text.toUpper(), FWTheme::font(11, QFont::DemiBold, false, 0.55), FWTheme::Role::Text3))
{
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 2);
    layout->addWidget(m_label);
}
