#include "ui/views/LogView.h"

#include "engine/AppState.h"
#include "ssh/SSHManager.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/StatusDot.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/Hairline.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/ResizeGrip.h"
#include "ui/views/ThinScrollBar.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QVariantAnimation>
#include <array>

namespace {

constexpr qreal kTimeGap = 10;

QFont logFont()
{
    return FWTheme::font(11.5, QFont::Normal, true);
}

} // namespace

LogView::LogView(AppState &state, ViewActions actions, const QString &tunnelId, QWidget *parent)
    : QWidget(parent), m_state(state), m_actions(std::move(actions)), m_tunnelId(tunnelId)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(cardWidth);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto header = new QHBoxLayout;
    header->setContentsMargins(14, 11, 14, 11);
    header->setSpacing(8);
    m_dot = new StatusDot(TunnelStatus::Idle, 9, this);
    header->addWidget(m_dot, 0, Qt::AlignVCenter);
    m_title = new FWLabel({}, FWTheme::font(13, QFont::DemiBold), FWTheme::Role::Text, this);
    m_title->setMinimumWidth(1);
    header->addWidget(m_title, 1, Qt::AlignVCenter);
    m_copy = new FWButton(QStringLiteral("Copy"), FWButtonStyle::Kind::Normal, true, this);
    m_copy->setIconName(QStringLiteral("copy"));
    m_copy->setToolTip(QStringLiteral("Copy the whole log"));
    connect(m_copy, &QAbstractButton::clicked, this, &LogView::copyAll);
    header->addWidget(m_copy, 0, Qt::AlignVCenter);
    m_close = new PlainIconButton(QStringLiteral("x"), 14, QFont::Normal, FWTheme::Role::Text, {26, 26}, this);
    m_close->setCircle(true);
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close"));
    connect(m_close, &QAbstractButton::clicked, this, [this] {
        if (m_actions.closeLog)
            m_actions.closeLog();
    });
    header->addWidget(m_close, 0, Qt::AlignVCenter);
    column->addLayout(header);
    column->addWidget(new Hairline(this));

    auto area = new QWidget(this);
    area->setMinimumHeight(logHeight);
    area->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    auto stack = new QVBoxLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto emptyBox = new QWidget(area);
    auto emptyLine = new QVBoxLayout(emptyBox);
    emptyLine->setContentsMargins(14, 14, 14, 14);
    m_empty = new FWLabel(emptyText(), FWTheme::font(12), FWTheme::Role::Text3, emptyBox);
    m_empty->setWrapping(true);
    emptyLine->addWidget(m_empty);
    emptyLine->addStretch(1);
    stack->addWidget(emptyBox);
    m_text = new QTextEdit(area);
    m_text->setReadOnly(true);
    // Selecting with the mouse and copying; no caret, since the text cannot be edited.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    makeThinScrollBar(m_text->verticalScrollBar());
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setAttribute(Qt::WA_TranslucentBackground);
    m_text->viewport()->setAutoFillBackground(false);
    m_text->document()->setDocumentMargin(14);
    m_text->document()->setDefaultFont(logFont());
    m_text->setUndoRedoEnabled(false);
    stack->addWidget(m_text);
    column->addWidget(area, 1);
    m_grip = new ResizeGrip(this);

    m_scrollAnim = new QVariantAnimation(this);
    m_scrollAnim->setDuration(250);
    m_scrollAnim->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_scrollAnim, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { m_text->verticalScrollBar()->setValue(value.toInt()); });

    connect(&state, &AppState::logAppended, this, [this](const QString &id, const LogLine &line) {
        if (id != m_tunnelId)
            return;
        appendLine(line);
        scrollToNewest();
    });
    connect(&state, &AppState::logCleared, this, [this](const QString &id) {
        if (id == m_tunnelId)
            reload();
    });
    connect(&state, &AppState::tunnelChanged, this, [this](const QString &id) {
        if (id == m_tunnelId)
            updateHeader();
    });
    connect(&state, &AppState::tunnelsChanged, this, &LogView::updateHeader);
    reload();
}

void LogView::setTunnelId(const QString &tunnelId)
{
    if (tunnelId == m_tunnelId)
        return;
    m_tunnelId = tunnelId;
    reload();
}

QString LogView::emptyText()
{
    return QStringLiteral("No log output yet — connect the tunnel to see ssh’s output.");
}

FWTheme::Role LogView::lineRole(const QString &text)
{
    // The runner's own classifier, so one table decides both a tunnel's state and how its lines look.
    if (SSHManager::failureReason(text))
        return FWTheme::Role::StRed;
    if (SSHManager::indicatesConnected(text) || text.contains(QLatin1StringView("Authenticated")))
        return FWTheme::Role::StGreen;
    return FWTheme::Role::Text2;
}

QString LogView::title() const
{
    return m_title->text();
}

TunnelStatus LogView::dotStatus() const
{
    return m_dot->status();
}

bool LogView::showsEmptyText() const
{
    return m_empty->parentWidget()->isVisibleTo(this);
}

void LogView::updateHeader()
{
    const Tunnel *tunnel = m_state.tunnel(m_tunnelId);
    m_dot->setStatus(tunnel ? tunnel->status : TunnelStatus::Idle);
    m_title->setText((tunnel ? tunnel->name : QStringLiteral("Tunnel")) + QStringLiteral(" — Log"));
}

void LogView::reload()
{
    updateHeader();
    m_text->clear();
    m_lineIds.clear();
    const QList<LogLine> lines = m_state.logs(m_tunnelId);
    for (const LogLine &line : lines)
        appendLine(line);
    // The edit's own cursor rode along with the insertions; opening shows the oldest lines.
    m_scrollAnim->stop();
    m_text->moveCursor(QTextCursor::Start);
    m_text->verticalScrollBar()->setValue(0);
    m_empty->parentWidget()->setVisible(lines.isEmpty());
    m_copy->setEnabled(!lines.isEmpty());
    m_text->setVisible(!lines.isEmpty());
}

void LogView::appendLine(const LogLine &line)
{
    const FWTheme theme = FWTheme::of(this);
    const QFont font = logFont();
    // The text wraps under itself, not under the time: a hanging indent as wide as the time and the gap.
    const qreal indent = QFontMetricsF(font).horizontalAdvance(line.time) + kTimeGap;
    QTextBlockFormat block;
    block.setLeftMargin(indent);
    block.setTextIndent(-indent);
    block.setTabPositions({QTextOption::Tab(indent, QTextOption::LeftTab)});
    block.setTopMargin(m_lineIds.isEmpty() ? 0 : 2);
    QTextCharFormat time;
    time.setFont(font);
    time.setForeground(theme.text3());
    QTextCharFormat text = time;
    text.setForeground(theme.color(lineRole(line.text)));

    QTextCursor cursor(m_text->document());
    cursor.movePosition(QTextCursor::End);
    if (m_lineIds.isEmpty())
        cursor.setBlockFormat(block);
    else
        cursor.insertBlock(block);
    cursor.insertText(line.time, time);
    cursor.insertText(QStringLiteral("\t"), time);
    cursor.insertText(line.text, text);
    m_lineIds.append(line.id);
    if (m_lineIds.size() == 1) {
        m_copy->setEnabled(true);
        m_empty->parentWidget()->hide();
        m_text->show();
    }
}

void LogView::scrollToNewest()
{
    if (m_lineIds.isEmpty())
        return;
    // The range already covers the new line: the document lays out as text is inserted.
    QScrollBar *bar = m_text->verticalScrollBar();
    m_scrollAnim->stop();
    if (bar->value() == bar->maximum())
        return;
    m_scrollAnim->setStartValue(bar->value());
    m_scrollAnim->setEndValue(bar->maximum());
    m_scrollAnim->start();
}

QString LogView::lineText(qsizetype index) const
{
    const QTextBlock block = m_text->document()->findBlockByNumber(int(index));
    const QString all = block.text();
    return all.mid(all.indexOf(QLatin1Char('\t')) + 1);
}

QColor LogView::lineColor(qsizetype index) const
{
    const QTextBlock block = m_text->document()->findBlockByNumber(int(index));
    const QString all = block.text();
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + all.indexOf(QLatin1Char('\t')) + 2);
    return cursor.charFormat().foreground().color();
}

bool LogView::event(QEvent *event)
{
    // Line colours are baked into the text; a new theme lays them out again.
    if (event->type() == FWRoot::themeChangeEvent()) {
        const int scroll = m_text->verticalScrollBar()->value();
        reload();
        m_text->verticalScrollBar()->setValue(scroll);
    }
    return QWidget::event(event);
}

QString LogView::plainText() const
{
    QStringList lines;
    for (const LogLine &line : m_state.logs(m_tunnelId))
        lines.append(line.time + QLatin1Char(' ') + line.text);
    return lines.join(QLatin1Char('\n'));
}

void LogView::copyAll()
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(plainText());
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_grip->move(width() - ResizeGrip::side - 2, height() - ResizeGrip::side - 2);
    m_grip->raise();
}

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(card, FWTheme::of(this).winBg());
}
