#include "ui/views/PreferencesView.h"

#include "ui/controls/FWLabel.h"
#include "ui/views/AboutTab.h"
#include "ui/views/GeneralTab.h"
#include "ui/views/ImportTab.h"
#include "ui/views/SecurityTab.h"
#include "ui/views/ThinScrollBar.h"
#include "ui/views/ToolTab.h"
#include "ui/views/TrafficLights.h"
#include "ui/views/TunnelsTab.h"

#include <QBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// The top bar: surface2 with a hairline along its bottom edge.
class TopBar : public QWidget {
public:
    // The card window's corner radius.
    static constexpr qreal cornerRadius = 12;

    explicit TopBar(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        // Rounded like the card's top corners, square at the bottom.
        const qreal r = cornerRadius;
        QPainterPath bar;
        bar.moveTo(0, height());
        bar.lineTo(0, r);
        bar.arcTo(QRectF(0, 0, 2 * r, 2 * r), 180, -90);
        bar.lineTo(width() - r, 0);
        bar.arcTo(QRectF(width() - 2 * r, 0, 2 * r, 2 * r), 90, -90);
        bar.lineTo(width(), height());
        bar.closeSubpath();
        painter.fillPath(bar, theme.surface2());
        painter.fillRect(QRect(0, height() - 1, width(), 1), theme.hairline(0.085));
    }
};

// A scrolling tab's column: the view at full width, its own maximum width centred inside.
class Centred : public QWidget {
public:
    Centred(QWidget *view, QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto layout = new QHBoxLayout(this);
        layout->setContentsMargins(24, 22, 24, 22);
        layout->addWidget(view, 1, Qt::AlignTop | Qt::AlignHCenter);
    }
};

} // namespace

const QList<PreferencesView::Tab> &PreferencesView::tabs()
{
    static const QList<Tab> list{
        {QStringLiteral("tunnels"), QStringLiteral("list"), QStringLiteral("Tunnels")},
        {QStringLiteral("general"), QStringLiteral("gear"), QStringLiteral("General")},
        {QStringLiteral("security"), QStringLiteral("shield"), QStringLiteral("Security")},
        {QStringLiteral("import"), QStringLiteral("import"), QStringLiteral("Import")},
        {QStringLiteral("about"), QStringLiteral("info"), QStringLiteral("About")},
    };
    return list;
}

PreferencesView::PreferencesView(AppState &state, PreferencesServices services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(cardWidth, cardHeight);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto top = new TopBar(this);
    auto topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(0, 0, 0, 1);
    topColumn->setSpacing(0);

    // The title is centred over the full width, the buttons sit on top of it at the leading edge.
    auto titleRow = new QWidget(top);
    titleRow->setAttribute(Qt::WA_TranslucentBackground);
    auto titleLayout = new QGridLayout(titleRow);
    titleLayout->setContentsMargins(14, 10, 14, 0);
    m_title = new FWLabel(QString(), FWTheme::font(12.5, QFont::DemiBold), FWTheme::Role::Text2, titleRow);
    titleLayout->addWidget(m_title, 0, 0, Qt::AlignCenter);
    m_lights = new TrafficLights(titleRow);
    m_lights->onClose = [this] {
        if (m_services.close)
            m_services.close();
    };
    titleLayout->addWidget(m_lights, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    topColumn->addWidget(titleRow);

    auto tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(10, 8, 10, 9);
    tabRow->setSpacing(4);
    tabRow->addStretch(1);
    for (const Tab &entry : tabs()) {
        auto button = new ToolTab(entry.icon, entry.label, top);
        const QString id = entry.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { setTab(id); });
        m_toolTabs.append(button);
        tabRow->addWidget(button);
    }
    tabRow->addStretch(1);
    topColumn->addLayout(tabRow);
    column->addWidget(top);

    m_body = new QVBoxLayout;
    m_body->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_body, 1);
    showContent();
}

QString PreferencesView::title() const
{
    for (const Tab &entry : tabs())
        if (entry.id == m_tab)
            return entry.label;
    return {};
}

void PreferencesView::setTab(const QString &id)
{
    m_tab = id;
    showContent();
}

void PreferencesView::showContent()
{
    m_title->setText(title());
    for (qsizetype i = 0; i < m_toolTabs.size(); ++i)
        m_toolTabs.at(i)->setActive(tabs().at(i).id == m_tab);
    // The old tab goes with everything it held.
    delete m_holder.data();

    QWidget *view = nullptr;
    if (m_tab == QLatin1String("tunnels")) {
        view = new TunnelsTab(m_state, m_services);
        auto holder = new QWidget(this);
        holder->setAttribute(Qt::WA_TranslucentBackground);
        auto layout = new QVBoxLayout(holder);
        layout->setContentsMargins(16, 16, 16, 16);
        layout->addWidget(view);
        m_holder = holder;
    } else {
        if (m_tab == QLatin1String("general"))
            view = new GeneralTab(m_state, m_services);
        else if (m_tab == QLatin1String("security"))
            view = new SecurityTab(m_services);
        else if (m_tab == QLatin1String("import"))
            view = new ImportTab(m_state, m_services);
        else
            view = new AboutTab(m_services);
        auto scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidgetResizable(true);
        scroll->setAttribute(Qt::WA_TranslucentBackground);
        scroll->viewport()->setAutoFillBackground(false);
        makeThinScrollBar(scroll->verticalScrollBar());
        auto inner = new Centred(view, scroll);
        scroll->setWidget(inner);
        inner->setAutoFillBackground(false);
        m_holder = scroll;
    }
    m_content = view;
    m_body->addWidget(m_holder);
    m_holder->show();
}
