#include "ui/views/CommandPreview.h"

#include "engine/Clock.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr int kBoxPadX = 11;
constexpr int kBoxPadY = 9;
constexpr qreal kBoxRadius = 8;

const QString kPrefix = QStringLiteral("ssh ");

QFont prefixFont()
{
    return FWTheme::font(11.5, QFont::DemiBold, true);
}

QFont restFont()
{
    return FWTheme::font(11.5, QFont::Normal, true);
}

// The command drawn on one line: the prefix in the accent colour, the rest in the text colour.
class CommandLine : public QWidget {
public:
    explicit CommandLine(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

    void setCommand(const QString &command)
    {
        m_command = command;
        resize(sizeHint().expandedTo(QSize(parentWidget() ? parentWidget()->width() : 0, 0)));
        updateGeometry();
        update();
    }

    QString rest() const { return m_command.startsWith(kPrefix) ? m_command.mid(kPrefix.size()) : m_command; }
    QString prefix() const { return m_command.startsWith(kPrefix) ? kPrefix : QString(); }

    QSize sizeHint() const override
    {
        const qreal width = QFontMetricsF(prefixFont()).horizontalAdvance(prefix()) +
                            QFontMetricsF(restFont()).horizontalAdvance(rest());
        return {int(std::ceil(width)) + 2 * kBoxPadX, QFontMetrics(restFont()).height() + 2 * kBoxPadY};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const FWTheme theme = FWTheme::of(this);
        const QFontMetricsF metrics(restFont());
        const qreal baseline = kBoxPadY + metrics.ascent();
        painter.setFont(prefixFont());
        painter.setPen(theme.accent());
        painter.drawText(QPointF(kBoxPadX, baseline), prefix());
        const qreal x = kBoxPadX + QFontMetricsF(prefixFont()).horizontalAdvance(prefix());
        painter.setFont(restFont());
        painter.setPen(theme.text());
        painter.drawText(QPointF(x, baseline), rest());
    }

private:
    QString m_command;
};

// The rounded field behind the line; a turn of the wheel either way scrolls it sideways.
class CommandBox : public QScrollArea {
public:
    explicit CommandBox(QWidget *parent) : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(false);
        viewport()->setAutoFillBackground(false);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        const QRectF box(viewport()->rect());
        QPainterPath fill;
        fill.addRoundedRect(box, kBoxRadius, kBoxRadius);
        painter.fillPath(fill, theme.fieldFill());
        QPainterPath border;
        border.addRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), kBoxRadius - 0.5, kBoxRadius - 0.5);
        painter.strokePath(border, QPen(theme.hairline(0.13), 1));
    }

    void wheelEvent(QWheelEvent *event) override
    {
        const QPoint delta = event->angleDelta();
        const int steps = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - steps / 2);
        event->accept();
    }

    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        if (widget())
            widget()->resize(widget()->sizeHint().expandedTo(QSize(viewport()->width(), viewport()->height())));
    }
};

} // namespace

CommandPreview::CommandPreview(Clock &clock, QWidget *parent) : QWidget(parent), m_clock(clock)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(18, 10, 18, 10);
    column->setSpacing(6);
    auto caption = new QHBoxLayout;
    caption->setSpacing(8);
    caption->addWidget(new FWLabel(QStringLiteral("COMMAND PREVIEW"), FWTheme::font(10.5, QFont::DemiBold, false, 0.55),
                                   FWTheme::Role::Text3, this),
                       0, Qt::AlignVCenter);
    caption->addStretch(1);
    m_copyButton = new FWButton(QStringLiteral("Copy"), FWButtonStyle::Kind::Ghost, true, this);
    m_copyButton->setIconName(QStringLiteral("copy"));
    m_copyButton->setAccessibleName(QStringLiteral("Copy command"));
    connect(m_copyButton, &QAbstractButton::clicked, this, &CommandPreview::copy);
    caption->addWidget(m_copyButton, 0, Qt::AlignVCenter);
    column->addLayout(caption);

    m_area = new CommandBox(this);
    m_line = new CommandLine(m_area);
    m_area->setWidget(m_line);
    m_line->setAutoFillBackground(false);
    m_area->setFixedHeight(m_line->sizeHint().height());
    column->addWidget(m_area);
}

void CommandPreview::setCommand(const QString &command)
{
    if (command == m_command)
        return;
    m_command = command;
    static_cast<CommandLine *>(m_line)->setCommand(command);
    m_line->setAccessibleName(command);
}

void CommandPreview::copy()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_command);
    setCopied(true);
    // Each copy schedules its own reset; an earlier one simply sets the same value. The clock outlives the editor.
    QPointer<CommandPreview> self(this);
    m_clock.after(copiedMs, [self] {
        if (self)
            self->setCopied(false);
    });
}

void CommandPreview::setCopied(bool copied)
{
    m_copied = copied;
    m_copyButton->setText(copied ? QStringLiteral("Copied") : QStringLiteral("Copy"));
    m_copyButton->updateGeometry();
}

void CommandPreview::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), FWTheme::of(this).surface2());
}
