#pragma once

#include "ui/views/PreferencesServices.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class AppState;
class FWLabel;
class QScrollArea;
class QVBoxLayout;
class ToolTab;
class TrafficLights;

// The preferences card: drawn window buttons, the title of the selected tab, the five tool tabs and the selected
// tab's content. The content is built anew on every switch, so a tab keeps no state across switches.
class PreferencesView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 720;
    static constexpr int cardHeight = 506;

    struct Tab {
        QString id;
        QString icon;
        QString label;
    };
    static const QList<Tab> &tabs();

    PreferencesView(AppState &state, PreferencesServices services, QWidget *parent = nullptr);

    QString tab() const { return m_tab; }
    void setTab(const QString &id);
    // The label of the selected tab, or empty.
    QString title() const;
    FWLabel *titleLabel() const { return m_title; }
    TrafficLights *trafficLights() const { return m_lights; }
    QList<ToolTab *> toolTabs() const { return m_toolTabs; }
    // The widget of the selected tab (TunnelsTab, GeneralTab, SecurityTab, ImportTab or AboutTab).
    QWidget *content() const { return m_content; }

    QSize sizeHint() const override { return {cardWidth, cardHeight}; }

private:
    void showContent();

    AppState &m_state;
    PreferencesServices m_services;
    QString m_tab = QStringLiteral("tunnels");
    TrafficLights *m_lights = nullptr;
    FWLabel *m_title = nullptr;
    QList<ToolTab *> m_toolTabs;
    QVBoxLayout *m_body = nullptr;
    QPointer<QWidget> m_content;
    QPointer<QWidget> m_holder;
};
