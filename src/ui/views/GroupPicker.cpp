#include "ui/views/GroupPicker.h"

#include "model/TunnelGroup.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/FocusRing.h"
#include "ui/controls/Icon.h"
#include "ui/theme/FWTheme.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kPadX = 10;
constexpr qreal kChevron = 12;
} // namespace

GroupPicker::GroupPicker(QWidget *parent) : QAbstractButton(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(FWTheme::font(13));
    connect(this, &QAbstractButton::clicked, this, &GroupPicker::popUp);
}

void GroupPicker::setGroups(const QList<TunnelGroup> &groups)
{
    m_groups.clear();
    for (const TunnelGroup &group : groups)
        m_groups.append({group.id, group.name});
}

QSize GroupPicker::sizeHint() const
{
    return {180, height + 2 * FWTextField::ringMargin};
}

QRectF GroupPicker::faceRect() const
{
    const qreal m = FWTextField::ringMargin;
    return {m, (this->QWidget::height() - height) / 2.0, width() - 2 * m, qreal(height)};
}

QMenu *GroupPicker::createMenu(QWidget *parent)
{
    auto menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_WindowPropagation);
    menu->addAction(QStringLiteral("None"), this, [this] { emit groupChosen(QString()); });
    if (!m_groups.isEmpty())
        menu->addSeparator();
    for (const auto &[id, name] : std::as_const(m_groups)) {
        const QString chosen = id;
        // A name with "&" would otherwise be read as a shortcut marker.
        QString title = name;
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        menu->addAction(title, this, [this, chosen] { emit groupChosen(chosen); });
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("New Group…"), this, &GroupPicker::newGroupRequested);
    return menu;
}

void GroupPicker::popUp()
{
    QMenu *menu = createMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setMinimumWidth(int(faceRect().width()));
    menu->popup(mapToGlobal(faceRect().bottomLeft().toPoint() + QPoint(0, 2)));
}

void GroupPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    // Inset like a text field's, whose ring margin lines the two up in a form.
    const QRectF face = faceRect();
    QPainterPath fill;
    fill.addRoundedRect(face, radius, radius);
    painter.fillPath(fill, theme.fieldFill());
    QPainterPath border;
    border.addRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(border, QPen(theme.hairline(0.13), 1));

    const QRectF chevron(face.right() - kPadX - kChevron, face.center().y() - kChevron / 2, kChevron, kChevron);
    Icon::paintSymbol(painter, chevron, QStringLiteral("chevron.up.chevron.down"), kChevron, QFont::Medium,
                      theme.text3());
    painter.setFont(font());
    painter.setPen(theme.text());
    const QRectF label = face.adjusted(kPadX, 0, -(2 * kPadX + kChevron), 0);
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font()).elidedText(text(), Qt::ElideRight, int(label.width())));
    if (showsFocusRing(this))
        paintFocusRing(painter, face, radius, theme);
}
