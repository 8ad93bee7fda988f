#include "ui/controls/GroupCaption.h"

#include <QBoxLayout>

GroupCaption::GroupCaption(const QString &text, const std::optional<QString> &trailing, QWidget *parent)
    : QWidget(parent), m_label(new FWLabel(captionText(text, trailing), FWTheme::font(11, QFont::DemiBold, false, 0.55),
                                           FWTheme::Role::Text3))
{
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 7);
    layout->addWidget(m_label);
}

QString GroupCaption::captionText(const QString &text, const std::optional<QString> &trailing)
{
    QString caption = text.toUpper();
    if (trailing)
        caption += QStringLiteral(" · ") + *trailing;
    return caption;
}
