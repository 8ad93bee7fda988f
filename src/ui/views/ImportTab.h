#pragma once

#include "model/Tunnel.h"
#include "ui/views/PreferencesServices.h"

#include <QSet>
#include <QWidget>
#include <optional>

class AppState;
class FWButton;
class FWCheck;
class FWLabel;
class QVBoxLayout;

// The Import tab: proposes tunnels from the port-forward directives of an ssh configuration file, every proposal
// ticked, and adds the ticked ones; in a development build it also copies the installed build's tunnels.
class ImportTab : public QWidget {
    Q_OBJECT
public:
    ImportTab(AppState &state, PreferencesServices services, QWidget *parent = nullptr);

    QString sourcePath() const { return m_sourcePath; }
    const QList<Tunnel> &found() const { return m_found; }
    const QSet<QString> &selected() const { return m_selected; }
    std::optional<int> importedCount() const { return m_importedCount; }
    std::optional<int> prodImported() const { return m_prodImported; }
    bool scanned() const { return m_scanned; }
    bool allOn() const;

    void rescan();
    void choose();
    void toggle(const QString &id);
    void toggleAll();
    void importSelected();
    void importFromProduction();

    // Texts as shown.
    QString summaryText() const;
    QString emptyText() const;
    QString importButtonText() const;
    QString selectAllText() const;
    // The detail line of one proposal: user@host · from → to (or SOCKS).
    static QString detailText(const Tunnel &tunnel);

    FWButton *importButton() const { return m_import; }
    FWButton *selectAllButton() const { return m_selectAll; }
    FWButton *productionButton() const { return m_production; }
    FWLabel *importedLabel() const { return m_imported; }
    FWLabel *sourceLabel() const { return m_source; }
    // The proposal rows, in order (a row is clickable as a whole).
    QList<QWidget *> proposalRows() const { return m_rows; }
    bool showsDevelopmentCard() const { return m_devCard != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void rebuildProposals();
    void refresh();

    AppState &m_state;
    PreferencesServices m_services;
    QString m_sourcePath;
    QList<Tunnel> m_found;
    QSet<QString> m_selected;
    std::optional<int> m_importedCount;
    std::optional<int> m_prodImported;
    bool m_scanned = false;

    QWidget *m_devCard = nullptr;
    FWButton *m_production = nullptr;
    QWidget *m_prodDone = nullptr;
    FWLabel *m_prodDoneLabel = nullptr;
    FWLabel *m_source = nullptr;
    QVBoxLayout *m_proposalsHolder = nullptr;
    QWidget *m_proposals = nullptr;
    FWLabel *m_summary = nullptr;
    FWLabel *m_empty = nullptr;
    FWButton *m_selectAll = nullptr;
    QList<QWidget *> m_rows;
    QList<FWCheck *> m_checks;
    QWidget *m_importedBox = nullptr;
    FWLabel *m_imported = nullptr;
    FWButton *m_import = nullptr;
};
