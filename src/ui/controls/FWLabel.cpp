#include "ui/controls/FWLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <cmath>

FWLabel::FWLabel(const QString &text, const QFont &font, FWTheme::Role role, QWidget *parent)
    : QWidget(parent), m_text(text), m_role(role)
{
    setFont(font);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FWLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    updateElisionTip();
    update();
}

bool FWLabel::isElided() const
{
    return !m_wrap && QFontMetricsF(font()).horizontalAdvance(m_text) > width() + 0.5;
}

void FWLabel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateElisionTip();
}

void FWLabel::updateElisionTip()
{
    // A tooltip set by the label's owner is left alone.
    if (!m_tipIsText && !toolTip().isEmpty())
        return;
    const bool elided = isElided();
    if (elided)
        setToolTip(m_text);
    else if (m_tipIsText)
        setToolTip(QString());
    m_tipIsText = elided;
}

void FWLabel::setRole(FWTheme::Role role)
{
    m_role = role;
    update();
}

void FWLabel::setWrapping(bool wrap, qreal lineSpacing)
{
    m_wrap = wrap;
    m_lineSpacing = lineSpacing;
    QSizePolicy policy(QSizePolicy::Preferred, wrap ? QSizePolicy::Minimum : QSizePolicy::Fixed);
    policy.setHeightForWidth(wrap);
    setSizePolicy(policy);
    updateGeometry();
}

qreal FWLabel::layout(qreal width, QList<QPair<QPointF, QString>> *lines) const
{
    const QFontMetricsF metrics(font());
    if (!m_wrap || width <= 0) {
        if (lines)
            lines->append({QPointF(0, metrics.ascent()), m_text});
        return metrics.height();
    }
    QTextLayout text(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text.setTextOption(option);
    text.beginLayout();
    qreal y = 0;
    bool first = true;
    while (true) {
        QTextLine line = text.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (!first)
            y += m_lineSpacing;
        first = false;
        if (lines)
            lines->append({QPointF(0, y + line.ascent()), m_text.mid(line.textStart(), line.textLength())});
        y += line.height();
    }
    text.endLayout();
    return std::max(y, metrics.height());
}

QSize FWLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const int width = int(std::ceil(metrics.horizontalAdvance(m_text)));
    if (m_wrap)
        return {std::min(width, 260), heightForWidth(std::min(width, 260))};
    return {width, int(std::ceil(metrics.height()))};
}

QSize FWLabel::minimumSizeHint() const
{
    if (m_wrap)
        return {40, int(std::ceil(QFontMetricsF(font()).height()))};
    return sizeHint();
}

int FWLabel::heightForWidth(int width) const
{
    return int(std::ceil(layout(width, nullptr)));
}

void FWLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    painter.setPen(FWTheme::of(this).color(m_role));
    QList<QPair<QPointF, QString>> lines;
    layout(m_wrap ? width() : -1, &lines);
    const QFontMetricsF metrics(font());
    for (const auto &[origin, text] : lines) {
        const QString shown = m_wrap ? text : metrics.elidedText(text, Qt::ElideRight, width());
        painter.drawText(origin, shown);
    }
}
