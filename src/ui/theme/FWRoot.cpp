#include "ui/theme/FWRoot.h"

#include "ui/controls/ControlAccessibility.h"
#include "ui/theme/SystemColorScheme.h"

#include <QApplication>
#include <QToolTip>
#include <QVBoxLayout>

FWRoot::FWRoot(QWidget *content, Appearance appearance, QWidget *parent)
    : QWidget(parent), m_content(content), m_appearance(appearance)
{
    ControlAccessibility::install();
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (content)
        layout->addWidget(content);
    connect(SystemColorScheme::instance(), &SystemColorScheme::changed, this, [this] { apply(); });
    apply();
}

QEvent::Type FWRoot::themeChangeEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void FWRoot::setAppearance(Appearance appearance)
{
    if (appearance == m_appearance)
        return;
    m_appearance = appearance;
    apply();
}

bool FWRoot::isDark(Appearance appearance)
{
    switch (appearance) {
    case Appearance::Light:
        return false;
    case Appearance::Dark:
        return true;
    case Appearance::Auto:
        break;
    }
    return SystemColorScheme::instance()->isDark();
}

void FWRoot::apply()
{
    const bool dark = isDark(m_appearance);
    // Standard parts take the theme's palette under every choice: under auto it is built from the desktop's own
    // scheme, and the toolkit's default palette would give menus its blue highlight and tooltips their pale yellow
    // whatever the scheme. Tooltips are one application-wide window, and every root shows the same variant.
    const QPalette palette = paletteFor(FWTheme(dark));
    setPalette(palette);
    QToolTip::setPalette(palette);
    // The first apply always publishes: content built before it was wrapped must learn the theme too.
    if (m_published && m_theme.dark == dark)
        return;
    m_published = true;
    m_theme = FWTheme(dark);
    const QList<QWidget *> children = findChildren<QWidget *>();
    for (QWidget *child : children) {
        QEvent event(themeChangeEvent());
        QCoreApplication::sendEvent(child, &event);
        child->update();
    }
    update();
    emit themeChanged(m_theme);
}

QPalette FWRoot::paletteFor(const FWTheme &theme)
{
    // Frame shades (light, mid, dark) derived from the surfaces, so menu borders and separators match too.
    QPalette palette(theme.surface2(), theme.winBg());
    palette.setColor(QPalette::WindowText, theme.text());
    palette.setColor(QPalette::Base, theme.fieldFill());
    palette.setColor(QPalette::AlternateBase, theme.surface2());
    palette.setColor(QPalette::Text, theme.text());
    palette.setColor(QPalette::PlaceholderText, theme.text3());
    palette.setColor(QPalette::Button, theme.surface2());
    palette.setColor(QPalette::ButtonText, theme.text());
    palette.setColor(QPalette::Highlight, theme.accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, theme.surface());
    palette.setColor(QPalette::ToolTipText, theme.text());
    palette.setColor(QPalette::Link, theme.accent());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, theme.text3());
    return palette;
}
