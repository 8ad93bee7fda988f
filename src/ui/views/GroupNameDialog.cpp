#include "ui/views/GroupNameDialog.h"

#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"

#include <QBoxLayout>
#include <QPainter>

GroupNameDialog::GroupNameDialog(const QString &title, const QString &action, const QString &draft, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_WindowPropagation);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(18, 16, 18, 14);
    column->setSpacing(10);
    column->addWidget(new FWLabel(title, FWTheme::font(13, QFont::Bold), FWTheme::Role::Text, this));
    m_field = new FWTextField(QStringLiteral("Name"), false, false, false, this);
    m_field->setAccessibleName(QStringLiteral("Name"));
    m_field->setText(draft);
    m_field->selectAll();
    m_field->setMinimumWidth(240);
    column->addWidget(m_field);
    auto buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    m_cancel = new FWButton(QStringLiteral("Cancel"), FWButtonStyle::Kind::Normal, false, this);
    m_accept = new FWButton(action, FWButtonStyle::Kind::Primary, false, this);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_accept);
    column->addLayout(buttons);
    connect(m_cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_accept, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(m_field, &QLineEdit::returnPressed, this, &QDialog::accept);
}

QString GroupNameDialog::name() const
{
    return m_field->text();
}

void GroupNameDialog::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), FWTheme::of(this).winBg());
}
