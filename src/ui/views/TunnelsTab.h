#pragma once

#include "model/Tunnel.h"
#include "ui/views/PreferencesServices.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QStringList>
#include <QWidget>
#include <optional>

class AppState;
class FWLabel;
class PlainIconButton;
class QLineEdit;
class TunnelTableRow;
class TunnelsTab;

// The table's scrolling list. Only the rows in view exist; they are reused as the list scrolls, so a list of
// hundreds of tunnels costs as much as one screenful.
class TunnelTableList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TunnelTableList(TunnelsTab &tab, QWidget *parent = nullptr);

    // Lays the rows out for the current ids, selection and scroll position.
    void relayout();
    // Redraws the row of one tunnel if it is in view.
    void refreshRow(const QString &id);
    // The row showing a tunnel, when it is in view.
    TunnelTableRow *rowFor(const QString &id) const;
    int builtRowCount() const { return int(m_rows.size()); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    TunnelTableRow *makeRow();

    TunnelsTab &m_tab;
    QList<TunnelTableRow *> m_rows;
};

// The Tunnels tab: a searchable table of every saved tunnel with counts, a start switch and an edit button per
// row, and buttons to add a tunnel and to remove the selected one. Every change goes through AppState or the shell.
class TunnelsTab : public QWidget {
    Q_OBJECT
public:
    TunnelsTab(AppState &state, PreferencesServices services, QWidget *parent = nullptr);

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    std::optional<QString> selection() const { return m_selection; }
    void select(const QString &id);

    // The ids shown, in stored order.
    const QStringList &filtered() const { return m_filtered; }
    QString countsText() const;

    QLineEdit *searchField() const { return m_search; }
    TunnelTableList *list() const { return m_list; }
    PlainIconButton *addButton() const { return m_add; }
    PlainIconButton *removeButton() const { return m_remove; }

    // Whether a tunnel matches a search text: its name or host contains it, ignoring case.
    static bool matches(const Tunnel &tunnel, const QString &query);

    AppState &state() const { return m_state; }
    void editTunnel(const QString &id);
    void removeSelected();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refilter();
    void updateCounts();

    AppState &m_state;
    PreferencesServices m_services;
    QString m_query;
    std::optional<QString> m_selection;
    QStringList m_filtered;
    QLineEdit *m_search = nullptr;
    FWLabel *m_counts = nullptr;
    TunnelTableList *m_list = nullptr;
    PlainIconButton *m_add = nullptr;
    PlainIconButton *m_remove = nullptr;
};
