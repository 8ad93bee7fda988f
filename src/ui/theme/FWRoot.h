#pragma once

#include "model/Appearance.h"
#include "ui/theme/FWTheme.h"

#include <QEvent>
#include <QWidget>

// Wraps the content of one window: works out light or dark from the appearance choice (and, for auto, from the
// desktop), hands the resulting theme to every view inside and gives the window's standard parts (menus, tooltips,
// dialogs) the same scheme. Any change repaints the whole window at once.
class FWRoot : public QWidget {
    Q_OBJECT
public:
    explicit FWRoot(QWidget *content, Appearance appearance = Appearance::Auto, QWidget *parent = nullptr);

    const FWTheme &theme() const { return m_theme; }
    Appearance appearance() const { return m_appearance; }
    void setAppearance(Appearance appearance);
    QWidget *content() const { return m_content; }

    // Sent to every widget inside the root when the theme changes, before the repaint.
    static QEvent::Type themeChangeEvent();

    // Whether an appearance choice means the dark variant now (auto asks the desktop).
    static bool isDark(Appearance appearance);
    // The palette standard widgets and menus take from a theme: its surfaces, texts and accent highlight.
    static QPalette paletteFor(const FWTheme &theme);

signals:
    void themeChanged(const FWTheme &theme);

private:
    void apply();

    QWidget *m_content = nullptr;
    Appearance m_appearance = Appearance::Auto;
    FWTheme m_theme;
    bool m_published = false;
};
