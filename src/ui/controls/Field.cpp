#include "ui/controls/Field.h"

#include "ui/controls/FWLabel.h"

#include <QBoxLayout>

Field::Field(const QString &label, QWidget *content, const std::optional<QString> &hint, bool top, QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto labelColumn = new QVBoxLayout;
    labelColumn->setContentsMargins(0, top ? 7 : 0, 0, 0);
    auto caption = new FWLabel(label, FWTheme::font(12, QFont::Medium), FWTheme::Role::Text2);
    caption->setFixedWidth(126);
    // Centred on the control beside it, or at the top of a tall one.
    if (!top)
        labelColumn->addStretch(1);
    labelColumn->addWidget(caption);
    labelColumn->addStretch(1);
    row->addLayout(labelColumn);
    auto contentColumn = new QVBoxLayout;
    contentColumn->setSpacing(4);
    if (content)
        contentColumn->addWidget(content);
    if (hint) {
        auto hintLabel = new FWLabel(*hint, FWTheme::font(11), FWTheme::Role::Text3);
        hintLabel->setWrapping(true, 1.4);
        contentColumn->addWidget(hintLabel);
    }
    row->addLayout(contentColumn, 1);
}
