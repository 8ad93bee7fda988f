#include "ui/controls/Disclosure.h"

#include "ui/controls/FWLabel.h"
#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"

#include <QBoxLayout>
#include <QPainter>

namespace {
// The whole line is the hit area.
class DisclosureHeader : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!showsFocusRing(this))
            return;
        QPainter painter(this);
        paintFocusRing(painter, QRectF(rect()), 6, FWTheme::of(this));
    }
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
    QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
};
} // namespace

Disclosure::Disclosure(const QString &label, QWidget *content, bool open, QWidget *parent)
    : QWidget(parent), m_open(open), m_content(content)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto header = new DisclosureHeader;
    m_header = header;
    auto line = new QHBoxLayout(header);
    line->setContentsMargins(0, 4, 0, 4);
    line->setSpacing(6);
    m_chevron = new Icon(QStringLiteral("chevR"), 12, QFont::Bold, FWTheme::Role::Text2);
    line->addWidget(m_chevron);
    line->addWidget(new FWLabel(label, FWTheme::font(12.5, QFont::DemiBold), FWTheme::Role::Text));
    line->addStretch(1);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header->setFocusPolicy(Qt::TabFocus);
    header->setAccessibleName(label);

    m_turn = new Animator(FWTheme::easeOut(200), m_chevron, open ? 1 : 0);
    connect(m_turn, &QVariantAnimation::valueChanged, this, [this] { m_chevron->setRotation(90 * m_turn->value()); });
    m_chevron->setRotation(open ? 90 : 0);

    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(header);
    if (content) {
        column->addWidget(content);
        content->setVisible(open);
    }
    connect(header, &QAbstractButton::clicked, this, [this] { setOpen(!m_open); });
}

void Disclosure::setOpen(bool open)
{
    if (open == m_open)
        return;
    m_open = open;
    m_turn->animateTo(open ? 1 : 0);
    if (m_content)
        m_content->setVisible(open);
    emit openChanged(open);
}
