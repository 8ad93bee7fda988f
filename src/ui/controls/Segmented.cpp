#include "ui/controls/Segmented.h"

#include "ui/controls/FocusRing.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr qreal kTrackPadding = 2;
constexpr qreal kOptionPadX = 12;
constexpr qreal kOptionPadY = 4;

QFont optionFont()
{
    return FWTheme::font(12.5, QFont::Medium);
}

QRectF lerp(const QRectF &a, const QRectF &b, qreal t)
{
    return {a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t, a.width() + (b.width() - a.width()) * t,
            a.height() + (b.height() - a.height()) * t};
}
} // namespace

Segmented::Segmented(const QList<Option> &options, const QString &selection, bool fullWidth, QWidget *parent)
    : QWidget(parent), m_options(options), m_selection(selection), m_fullWidth(fullWidth),
      m_thumb(new Animator(FWTheme::out(), this, 1)), m_hover(new Animator(FWTheme::easeOut(120), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(fullWidth ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Segmented::sizeHint() const
{
    const QFontMetricsF metrics(optionFont());
    qreal width = 2 * kTrackPadding;
    for (const Option &option : m_options)
        width += metrics.horizontalAdvance(option.label) + 2 * kOptionPadX;
    return {int(std::ceil(width)), int(std::ceil(metrics.height() + 2 * kOptionPadY + 2 * kTrackPadding))};
}

QList<QRectF> Segmented::optionRects() const
{
    QList<QRectF> rects;
    if (m_options.isEmpty())
        return rects;
    const QFontMetricsF metrics(optionFont());
    const QRectF inner = QRectF(rect()).adjusted(kTrackPadding, kTrackPadding, -kTrackPadding, -kTrackPadding);
    qreal x = inner.left();
    for (const Option &option : m_options) {
        const qreal width =
            m_fullWidth ? inner.width() / m_options.size() : metrics.horizontalAdvance(option.label) + 2 * kOptionPadX;
        rects.append(QRectF(x, inner.top(), width, inner.height()));
        x += width;
    }
    return rects;
}

int Segmented::optionAt(const QPointF &point) const
{
    const QList<QRectF> rects = optionRects();
    for (int i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(point))
            return i;
    }
    return -1;
}

int Segmented::indexOf(const QString &value) const
{
    for (int i = 0; i < m_options.size(); ++i) {
        if (m_options[i].value == value)
            return i;
    }
    return -1;
}

QRectF Segmented::thumbRect() const
{
    const int index = indexOf(m_selection);
    if (index < 0)
        return {};
    const QRectF target = optionRects().value(index);
    if (m_thumbFrom.isNull())
        return target;
    return lerp(m_thumbFrom, target, m_thumb->value());
}

void Segmented::setSelection(const QString &value)
{
    if (value == m_selection)
        return;
    // The thumb leaves from wherever it is drawn now, also in the middle of a slide.
    m_thumbFrom = thumbRect();
    m_selection = value;
    m_thumb->jumpTo(0);
    m_thumb->animateTo(1);
    emit selectionChanged(value);
}

void Segmented::setHovered(std::optional<QString> value)
{
    if (value == m_hovered)
        return;
    m_hovered = value;
    m_hover->jumpTo(0);
    if (value)
        m_hover->animateTo(1);
}

void Segmented::mouseMoveEvent(QMouseEvent *event)
{
    const int index = optionAt(event->position());
    setHovered(index >= 0 ? std::optional<QString>(m_options[index].value) : std::nullopt);
}

void Segmented::leaveEvent(QEvent *)
{
    setHovered(std::nullopt);
}

void Segmented::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? optionAt(event->position()) : -1;
}

void Segmented::mouseReleaseEvent(QMouseEvent *event)
{
    const int index = optionAt(event->position());
    if (index >= 0 && index == m_pressed)
        setSelection(m_options[index].value);
    m_pressed = -1;
}

void Segmented::keyPressEvent(QKeyEvent *event)
{
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    const int index = indexOf(m_selection) + step;
    if (step == 0 || index < 0 || index >= m_options.size()) {
        QWidget::keyPressEvent(event);
        return;
    }
    setSelection(m_options[index].value);
}

void Segmented::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(this);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), 8, 8);
    painter.fillPath(track, theme.surface3());

    const QList<QRectF> rects = optionRects();
    if (m_hovered && *m_hovered != m_selection) {
        const int index = indexOf(*m_hovered);
        if (index >= 0) {
            QColor shade = theme.tint(0.06, 0.045);
            shade.setAlphaF(float(shade.alphaF() * m_hover->value()));
            QPainterPath hover;
            hover.addRoundedRect(rects[index], 6, 6);
            painter.fillPath(hover, shade);
        }
    }

    const QRectF thumb = thumbRect();
    if (!thumb.isNull()) {
        QPainterPath shadow;
        shadow.addRoundedRect(thumb.adjusted(-0.5, 0, 0.5, theme.dark ? 1.5 : 1), 6.5, 6.5);
        painter.fillPath(shadow, QColor(0, 0, 0, int(255 * (theme.dark ? 0.4 : 0.14) * 0.5)));
        QPainterPath shape;
        shape.addRoundedRect(thumb, 6, 6);
        painter.fillPath(shape, theme.dark ? theme.surface() : QColor(Qt::white));
    }

    painter.setFont(optionFont());
    for (int i = 0; i < rects.size(); ++i) {
        painter.setPen(m_options[i].value == m_selection ? theme.text() : theme.text2());
        painter.drawText(rects[i], Qt::AlignCenter, m_options[i].label);
    }
    if (showsFocusRing(this))
        paintFocusRing(painter, QRectF(rect()), 8, theme);
}
