#include "ui/views/NewGroupDialog.h"

#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"

#include <QBoxLayout>
#include <QPainter>

NewGroupDialog::NewGroupDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("New Group"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_WindowPropagation);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(18, 16, 18, 14);
    column->setSpacing(10);
    column->addWidget(
        new FWLabel(QStringLiteral("New Group"), FWTheme::font(13, QFont::Bold), FWTheme::Role::Text, this));
    m_field = new FWTextField(QStringLiteral("Name"), false, false, false, this);
    m_field->setAccessibleName(QStringLiteral("Name"));
    m_field->setMinimumWidth(240);
    column->addWidget(m_field);
    auto buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    m_cancel = new FWButton(QStringLiteral("Cancel"), FWButtonStyle::Kind::Normal, false, this);
    m_create = new FWButton(QStringLiteral("Create"), FWButtonStyle::Kind::Primary, false, this);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_create);
    column->addLayout(buttons);
    connect(m_cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_create, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(m_field, &QLineEdit::returnPressed, this, &QDialog::accept);
}

QString NewGroupDialog::name() const
{
    return m_field->text();
}

void NewGroupDialog::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), FWTheme::of(this).winBg());
}
