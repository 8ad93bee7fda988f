#include "ui/theme/FWRoot.h"

#include "ui/theme/SystemColorScheme.h"

#include <QApplication>
#include <QVBoxLayout>

FWRoot::FWRoot(QWidget *content, Appearance appearance, QWidget *parent)
    : QWidget(parent), m_content(content), m_appearance(appearance)
{
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

void FWRoot::apply()
{
    bool dark = false;
    switch (m_appearance) {
    case Appearance::Light:
        dark = false;
        break;
    case Appearance::Dark:
        dark = true;
        break;
    case Appearance::Auto:
        dark = SystemColorScheme::instance()->isDark();
        break;
    }
    // Standard controls follow the desktop under auto and the imposed scheme otherwise.
    if (m_appearance == Appearance::Auto)
        setPalette(QPalette());
    else
        setPalette(paletteFor(FWTheme(dark)));
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
    QPalette palette;
    palette.setColor(QPalette::Window, theme.winBg());
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
    return palette;
}
