#include "ui/views/TunnelsTab.h"

#include "engine/AppState.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/Icon.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/Hairline.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/ThinScrollBar.h"
#include "ui/views/TunnelTableRow.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

namespace {

// The search box: a magnifier and a plain entry on a field-filled rounded rectangle with a hairline.
class SearchBox : public QWidget {
public:
    explicit SearchBox(QLineEdit *field, QWidget *parent) : QWidget(parent), m_field(field)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedHeight(26);
        setMaximumWidth(240);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto row = new QHBoxLayout(this);
        row->setContentsMargins(8, 0, 8, 0);
        row->setSpacing(6);
        row->addWidget(new Icon(QStringLiteral("search"), 12, QFont::Normal, FWTheme::Role::Text3, this));
        field->setParent(this);
        field->setFrame(false);
        field->setFont(FWTheme::font(12.5));
        field->setAttribute(Qt::WA_TranslucentBackground);
        row->addWidget(field, 1);
        applyTheme();
    }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == FWRoot::themeChangeEvent() || event->type() == QEvent::Show)
            applyTheme();
        return QWidget::event(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
        painter.fillPath(box, theme.fieldFill());
        painter.strokePath(box, QPen(theme.hairline(0.13), 1));
    }

private:
    void applyTheme()
    {
        const FWTheme theme = FWTheme::of(this);
        QPalette palette = m_field->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, theme.text());
        palette.setColor(QPalette::PlaceholderText, theme.text3());
        m_field->setPalette(palette);
    }

    QLineEdit *m_field = nullptr;
};

// The outer card of the tab: surface with a hairline, radius 10.
void paintCard(QWidget *widget)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    const FWTheme theme = FWTheme::of(widget);
    QPainterPath card;
    card.addRoundedRect(QRectF(widget->rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter.fillPath(card, theme.surface());
    painter.strokePath(card, QPen(theme.hairline(0.085), 1));
}

QWidget *headerRow(QWidget *parent)
{
    auto header = new QWidget(parent);
    header->setAttribute(Qt::WA_TranslucentBackground);
    auto row = new QHBoxLayout(header);
    row->setContentsMargins(TunnelTableRow::sidePadding, 7, TunnelTableRow::sidePadding, 6);
    row->setSpacing(TunnelTableRow::columnSpacing);
    const QStringList titles{
        {}, QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Route"), QStringLiteral("Start"), {}};
    const QList<int> widths = TunnelTableRow::columnWidths();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        auto label =
            new FWLabel(titles.at(i).toUpper(), FWTheme::font(10.5, QFont::DemiBold, false, 0.4), FWTheme::Role::Text3);
        if (widths.at(i) > 0) {
            label->setFixedWidth(widths.at(i));
            row->addWidget(label, 0, i == 4 ? Qt::AlignCenter : Qt::AlignLeft);
        } else {
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            row->addWidget(label, 1);
        }
    }
    return header;
}

} // namespace

TunnelTableList::TunnelTableList(TunnelsTab &tab, QWidget *parent) : QAbstractScrollArea(parent), m_tab(tab)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    makeThinScrollBar(verticalScrollBar());
    verticalScrollBar()->setSingleStep(TunnelTableRow::rowHeight / 2);
}

TunnelTableRow *TunnelTableList::makeRow()
{
    auto row = new TunnelTableRow(viewport());
    row->onSelect = [this](const QString &id) { m_tab.select(id); };
    row->onEdit = [this](const QString &id) { m_tab.editTunnel(id); };
    row->onToggle = [this](const QString &id) { m_tab.state().toggle(id); };
    m_rows.append(row);
    return row;
}

void TunnelTableList::relayout()
{
    const QStringList &ids = m_tab.filtered();
    const int rowHeight = TunnelTableRow::rowHeight;
    const int viewHeight = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(viewHeight);
    bar->setRange(0, std::max(0, int(ids.size()) * rowHeight - viewHeight));
    const int top = bar->value();
    const int first = top / rowHeight;
    const int last = std::min<int>(int(ids.size()) - 1, (top + viewHeight) / rowHeight);
    const int needed = std::max(0, last - first + 1);
    while (m_rows.size() < needed)
        makeRow();
    const std::optional<QString> selection = m_tab.selection();
    for (int i = 0; i < m_rows.size(); ++i) {
        TunnelTableRow *row = m_rows.at(i);
        const int index = first + i;
        const Tunnel *tunnel = i < needed ? m_tab.state().tunnel(ids.at(index)) : nullptr;
        if (!tunnel) {
            row->hide();
            continue;
        }
        row->setTunnel(*tunnel, selection == tunnel->id);
        row->setGeometry(0, index * rowHeight - top, viewport()->width(), rowHeight);
        row->show();
    }
}

void TunnelTableList::refreshRow(const QString &id)
{
    if (TunnelTableRow *row = rowFor(id)) {
        if (const Tunnel *tunnel = m_tab.state().tunnel(id))
            row->setTunnel(*tunnel, m_tab.selection() == id);
    }
}

TunnelTableRow *TunnelTableList::rowFor(const QString &id) const
{
    for (TunnelTableRow *row : m_rows)
        if (row->isVisible() && row->tunnelId() == id)
            return row;
    return nullptr;
}

void TunnelTableList::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TunnelTableList::scrollContentsBy(int, int)
{
    relayout();
}

TunnelsTab::TunnelsTab(AppState &state, PreferencesServices services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(12, 10, 14, 10);
    m_search = new QLineEdit;
    m_search->setPlaceholderText(QStringLiteral("Search tunnels"));
    m_search->setAccessibleName(QStringLiteral("Search tunnels"));
    connect(m_search, &QLineEdit::textChanged, this, &TunnelsTab::setQuery);
    toolbar->addWidget(new SearchBox(m_search, this), 1);
    toolbar->addStretch(1);
    m_counts = new FWLabel({}, FWTheme::font(11.5), FWTheme::Role::Text3, this);
    toolbar->addWidget(m_counts);
    column->addLayout(toolbar);
    column->addWidget(new Hairline(this));
    column->addWidget(headerRow(this));

    m_list = new TunnelTableList(*this, this);
    column->addWidget(m_list, 1);

    column->addWidget(new Hairline(this));
    auto bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 4, 8, 4);
    bottom->setSpacing(2);
    m_add = new PlainIconButton(QStringLiteral("plus"), 14, QFont::Normal, FWTheme::Role::Text2, QSize(26, 24), this);
    m_add->setToolTip(QStringLiteral("Add tunnel"));
    m_add->setAccessibleName(QStringLiteral("Add tunnel"));
    connect(m_add, &QAbstractButton::clicked, this, [this] {
        if (m_services.actions.newTunnel)
            m_services.actions.newTunnel();
    });
    m_remove =
        new PlainIconButton(QStringLiteral("minus"), 14, QFont::Normal, FWTheme::Role::Text2, QSize(26, 24), this);
    m_remove->setToolTip(QStringLiteral("Remove tunnel"));
    m_remove->setAccessibleName(QStringLiteral("Remove tunnel"));
    connect(m_remove, &QAbstractButton::clicked, this, &TunnelsTab::removeSelected);
    bottom->addWidget(m_add);
    bottom->addWidget(m_remove);
    bottom->addStretch(1);
    column->addLayout(bottom);

    connect(&m_state, &AppState::tunnelsChanged, this, &TunnelsTab::refilter);
    connect(&m_state, &AppState::tunnelChanged, this, [this](const QString &id) {
        m_list->refreshRow(id);
        updateCounts();
    });
    refilter();
}

bool TunnelsTab::matches(const Tunnel &tunnel, const QString &query)
{
    return query.isEmpty() || tunnel.name.contains(query, Qt::CaseInsensitive) ||
           tunnel.host.contains(query, Qt::CaseInsensitive);
}

void TunnelsTab::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    if (m_search->text() != query)
        m_search->setText(query);
    refilter();
}

void TunnelsTab::refilter()
{
    m_filtered.clear();
    for (const Tunnel &t : m_state.tunnels())
        if (matches(t, m_query))
            m_filtered.append(t.id);
    updateCounts();
    m_list->relayout();
}

QString TunnelsTab::countsText() const
{
    return QStringLiteral("%1 active · %2 total").arg(m_state.activeCount()).arg(m_state.tunnels().size());
}

void TunnelsTab::updateCounts()
{
    m_counts->setText(countsText());
}

void TunnelsTab::select(const QString &id)
{
    m_selection = id;
    m_list->relayout();
}

void TunnelsTab::editTunnel(const QString &id)
{
    if (m_services.actions.editTunnel)
        m_services.actions.editTunnel(id);
}

void TunnelsTab::removeSelected()
{
    if (m_selection)
        m_state.deleteTunnel(*m_selection);
}

void TunnelsTab::paintEvent(QPaintEvent *)
{
    paintCard(this);
}
