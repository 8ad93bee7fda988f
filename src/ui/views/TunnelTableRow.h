#pragma once

#include "model/Tunnel.h"

#include <QWidget>
#include <functional>

class FWLabel;
class PlainIconButton;
class StatusDot;
class TypeChip;
class WarpToggle;

// One row of the preferences' tunnel table: status dot, name over user@host, type chip, route, start switch and
// edit button, on the accent tint when selected. Rows are reused for other tunnels as the list scrolls.
class TunnelTableRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 46;

    explicit TunnelTableRow(QWidget *parent = nullptr);

    void setTunnel(const Tunnel &tunnel, bool selected);
    QString tunnelId() const { return m_id; }
    bool isSelected() const { return m_selected; }

    QString nameText() const;
    QString userHostText() const;
    QString routeText() const;
    StatusDot *statusDot() const { return m_dot; }
    TypeChip *typeChip() const { return m_chip; }
    WarpToggle *startSwitch() const { return m_toggle; }
    PlainIconButton *editButton() const { return m_edit; }

    // A single click anywhere on the row, a double click, the switch, the edit button.
    std::function<void(const QString &id)> onSelect;
    std::function<void(const QString &id)> onEdit;
    std::function<void(const QString &id)> onToggle;

    // The columns' widths (the flexible name and route columns are 0), shared with the header row.
    static QList<int> columnWidths();
    static constexpr int columnSpacing = 10;
    static constexpr int sidePadding = 12;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QString m_id;
    bool m_selected = false;
    StatusDot *m_dot = nullptr;
    FWLabel *m_name = nullptr;
    FWLabel *m_userHost = nullptr;
    TypeChip *m_chip = nullptr;
    FWLabel *m_from = nullptr;
    FWLabel *m_to = nullptr;
    WarpToggle *m_toggle = nullptr;
    PlainIconButton *m_edit = nullptr;
};
