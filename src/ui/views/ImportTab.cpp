#include "ui/views/ImportTab.h"

#include "engine/AppState.h"
#include "system/SSHConfigImport.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/GroupCard.h"
#include "ui/controls/Icon.h"
#include "ui/controls/TypeChip.h"
#include "ui/views/Hairline.h"

#include <QBoxLayout>
#include <QDir>
#include <QMouseEvent>

namespace {

QWidget *plain(QWidget *parent = nullptr)
{
    auto widget = new QWidget(parent);
    widget->setAttribute(Qt::WA_TranslucentBackground);
    return widget;
}

// One proposal: a click anywhere on it ticks or unticks it.
class ProposalRow : public QWidget {
public:
    ProposalRow(std::function<void()> onClick, QWidget *parent) : QWidget(parent), m_onClick(std::move(onClick))
    {
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_onClick)
            m_onClick();
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

private:
    std::function<void()> m_onClick;
};

// A green check and "Imported N".
QWidget *importedMark(FWLabel **label)
{
    auto box = plain();
    auto row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addWidget(new Icon(QStringLiteral("check"), 12, QFont::Bold, FWTheme::Role::StGreen));
    *label = new FWLabel({}, FWTheme::font(12, QFont::Medium), FWTheme::Role::StGreen);
    row->addWidget(*label);
    return box;
}

} // namespace

ImportTab::ImportTab(AppState &state, PreferencesServices services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    m_sourcePath = QDir(m_services.homePath()).filePath(QStringLiteral(".ssh/config"));
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumWidth(580);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    if (m_state.isDevelopmentBuild()) {
        auto card = plain();
        auto cardRow = new QHBoxLayout(card);
        cardRow->setContentsMargins(0, 10, 0, 10);
        cardRow->setSpacing(12);
        cardRow->addWidget(new Icon(QStringLiteral("import"), 17, QFont::Normal, FWTheme::Role::Text2));
        auto texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(new FWLabel(QStringLiteral("Import from Flumewire (production)"), FWTheme::font(12.5),
                                     FWTheme::Role::Text));
        auto note =
            new FWLabel(QStringLiteral("Copy the installed app's tunnels into this dev build (auto-start off)."),
                        FWTheme::font(11), FWTheme::Role::Text3);
        note->setWrapping(true, 1.3);
        texts->addWidget(note);
        cardRow->addLayout(texts, 1);
        m_prodDone = importedMark(&m_prodDoneLabel);
        cardRow->addWidget(m_prodDone);
        m_production = new FWButton(QStringLiteral("Import"), FWButtonStyle::Kind::Primary);
        m_production->setIconName(QStringLiteral("import"));
        connect(m_production, &QAbstractButton::clicked, this, &ImportTab::importFromProduction);
        cardRow->addWidget(m_production);
        m_devCard = plain(this);
        auto devColumn = new QVBoxLayout(m_devCard);
        devColumn->setContentsMargins(0, 0, 0, 0);
        devColumn->setSpacing(0);
        devColumn->addWidget(new GroupCaption(QStringLiteral("Development"), QStringLiteral("Dev build only")));
        devColumn->addWidget(new GroupCard(card));
        column->addWidget(m_devCard);
    }

    auto source = plain();
    auto sourceRow = new QHBoxLayout(source);
    sourceRow->setContentsMargins(0, 8, 0, 8);
    sourceRow->setSpacing(10);
    sourceRow->addWidget(new Icon(QStringLiteral("folder"), 17, QFont::Normal, FWTheme::Role::Text2));
    m_source = new FWLabel(m_sourcePath, FWTheme::font(12.5, QFont::Normal, true), FWTheme::Role::Text);
    m_source->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sourceRow->addWidget(m_source, 1);
    auto chooseButton = new FWButton(QStringLiteral("Choose…"));
    connect(chooseButton, &QAbstractButton::clicked, this, &ImportTab::choose);
    sourceRow->addWidget(chooseButton);
    auto rescanButton = new FWButton(QStringLiteral("Rescan"));
    rescanButton->setIconName(QStringLiteral("refresh"));
    connect(rescanButton, &QAbstractButton::clicked, this, &ImportTab::rescan);
    sourceRow->addWidget(rescanButton);
    auto sourceBox = plain();
    auto sourceColumn = new QVBoxLayout(sourceBox);
    sourceColumn->setContentsMargins(0, 0, 0, 0);
    sourceColumn->setSpacing(0);
    sourceColumn->addWidget(new GroupCaption(QStringLiteral("Source")));
    sourceColumn->addWidget(new GroupCard(source));
    column->addWidget(sourceBox);

    m_proposalsHolder = new QVBoxLayout;
    m_proposalsHolder->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_proposalsHolder);

    auto footer = new QHBoxLayout;
    footer->setSpacing(10);
    auto footNote = new FWLabel(QStringLiteral("Imported tunnels connect via the Host alias, so ssh keeps applying its "
                                               "ProxyCommand / ProxyJump."),
                                FWTheme::font(11.5), FWTheme::Role::Text3);
    footNote->setWrapping(true, 1.3);
    footer->addWidget(footNote, 1);
    m_importedBox = importedMark(&m_imported);
    footer->addWidget(m_importedBox);
    m_import = new FWButton({}, FWButtonStyle::Kind::Primary);
    m_import->setIconName(QStringLiteral("import"));
    connect(m_import, &QAbstractButton::clicked, this, &ImportTab::importSelected);
    footer->addWidget(m_import, 0, Qt::AlignVCenter);
    column->addLayout(footer);

    rebuildProposals();
}

void ImportTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_scanned)
        rescan();
}

bool ImportTab::allOn() const
{
    return !m_found.isEmpty() && m_selected.size() == m_found.size();
}

void ImportTab::rescan()
{
    m_found = SSHConfigImport::parseFile(m_sourcePath).value_or(QList<Tunnel>());
    m_selected.clear();
    for (const Tunnel &t : std::as_const(m_found))
        m_selected.insert(t.id);
    m_importedCount.reset();
    m_scanned = true;
    rebuildProposals();
}

void ImportTab::choose()
{
    const QString chosen = m_services.choose(QDir(m_services.homePath()).filePath(QStringLiteral(".ssh")));
    if (chosen.isEmpty())
        return;
    m_sourcePath = chosen;
    m_source->setText(chosen);
    rescan();
}

void ImportTab::toggle(const QString &id)
{
    if (!m_selected.remove(id))
        m_selected.insert(id);
    m_importedCount.reset();
    refresh();
}

void ImportTab::toggleAll()
{
    if (allOn()) {
        m_selected.clear();
    } else {
        for (const Tunnel &t : std::as_const(m_found))
            m_selected.insert(t.id);
    }
    refresh();
}

void ImportTab::importSelected()
{
    if (m_selected.isEmpty())
        return;
    QList<Tunnel> chosen;
    for (const Tunnel &t : std::as_const(m_found))
        if (m_selected.contains(t.id))
            chosen.append(t);
    m_importedCount = m_state.importTunnels(chosen);
    refresh();
}

void ImportTab::importFromProduction()
{
    m_prodImported = m_state.importFromProduction();
    refresh();
}

QString ImportTab::summaryText() const
{
    const qsizetype count = m_found.size();
    return QStringLiteral("%1 %2 found · %3 selected")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("tunnel") : QStringLiteral("tunnels"))
        .arg(m_selected.size())
        .toUpper();
}

QString ImportTab::emptyText() const
{
    if (!m_scanned)
        return QStringLiteral("Scanning…");
    return QStringLiteral("No port-forwards found in this ssh config — add a LocalForward, RemoteForward or "
                          "DynamicForward to a Host, then Rescan.");
}

QString ImportTab::importButtonText() const
{
    return (m_selected.size() == 1 ? QStringLiteral("Import %1 Tunnel") : QStringLiteral("Import %1 Tunnels"))
        .arg(m_selected.size());
}

QString ImportTab::selectAllText() const
{
    return allOn() ? QStringLiteral("Deselect all") : QStringLiteral("Select all");
}

QString ImportTab::detailText(const Tunnel &tunnel)
{
    return tunnel.user + QLatin1Char('@') + tunnel.host + QStringLiteral(" · ") + tunnel.from() +
           QStringLiteral(" → ") + (tunnel.type == TunnelType::Socks ? QStringLiteral("SOCKS") : tunnel.to());
}

void ImportTab::rebuildProposals()
{
    delete m_proposals;
    m_rows.clear();
    m_checks.clear();
    m_summary = nullptr;
    m_empty = nullptr;
    m_selectAll = nullptr;
    m_proposals = plain(this);
    auto column = new QVBoxLayout(m_proposals);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (m_found.isEmpty()) {
        auto inner = plain();
        auto line = new QVBoxLayout(inner);
        line->setContentsMargins(0, 10, 0, 10);
        m_empty = new FWLabel(emptyText(), FWTheme::font(12), FWTheme::Role::Text3);
        m_empty->setWrapping(true, 1.3);
        line->addWidget(m_empty);
        column->addWidget(new GroupCard(inner));
    } else {
        auto header = new QHBoxLayout;
        header->setContentsMargins(4, 0, 0, 7);
        m_summary = new FWLabel({}, FWTheme::font(11, QFont::DemiBold), FWTheme::Role::Text3);
        header->addWidget(m_summary);
        header->addStretch(1);
        m_selectAll = new FWButton({}, FWButtonStyle::Kind::Ghost, true);
        connect(m_selectAll, &QAbstractButton::clicked, this, &ImportTab::toggleAll);
        header->addWidget(m_selectAll);
        column->addLayout(header);
        auto list = plain();
        auto rows = new QVBoxLayout(list);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(0);
        for (qsizetype i = 0; i < m_found.size(); ++i) {
            const Tunnel &t = m_found.at(i);
            if (i > 0)
                rows->addWidget(new Hairline);
            const QString id = t.id;
            auto row = new ProposalRow([this, id] { toggle(id); }, list);
            auto line = new QHBoxLayout(row);
            line->setContentsMargins(0, 8, 0, 8);
            line->setSpacing(12);
            auto check = new FWCheck(false, row);
            connect(check, &QAbstractButton::clicked, this, [this, id] { toggle(id); });
            line->addWidget(check, 0, Qt::AlignVCenter);
            auto texts = new QVBoxLayout;
            texts->setSpacing(2);
            auto first = new QHBoxLayout;
            first->setSpacing(6);
            first->addWidget(new FWLabel(t.name, FWTheme::font(12.5), FWTheme::Role::Text));
            first->addWidget(new TypeChip(t.type));
            first->addStretch(1);
            texts->addLayout(first);
            texts->addWidget(new FWLabel(detailText(t), FWTheme::font(10.5), FWTheme::Role::Text3));
            line->addLayout(texts, 1);
            rows->addWidget(row);
            m_rows.append(row);
            m_checks.append(check);
        }
        column->addWidget(new GroupCard(list));
    }
    m_proposalsHolder->addWidget(m_proposals);
    refresh();
}

void ImportTab::refresh()
{
    if (m_empty)
        m_empty->setText(emptyText());
    if (m_summary)
        m_summary->setText(summaryText());
    if (m_selectAll)
        m_selectAll->setText(selectAllText());
    for (qsizetype i = 0; i < m_checks.size(); ++i)
        m_checks.at(i)->setOn(m_selected.contains(m_found.at(i).id));
    m_import->setText(importButtonText());
    m_import->setEnabled(!m_selected.isEmpty());
    m_importedBox->setVisible(m_importedCount.has_value());
    if (m_importedCount)
        m_imported->setText(QStringLiteral("Imported %1").arg(*m_importedCount));
    if (m_devCard) {
        m_production->setVisible(!m_prodImported);
        m_prodDone->setVisible(m_prodImported.has_value());
        if (m_prodImported)
            m_prodDoneLabel->setText(QStringLiteral("Imported %1").arg(*m_prodImported));
    }
}
