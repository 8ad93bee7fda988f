#pragma once

#include <QWidget>

// The application icon as a widget, in the variant of the theme in force, clipped to rounded corners when a radius
// is given (the popover's header, the editor's title, the About tab).
class AppIconView : public QWidget {
public:
    AppIconView(int side, qreal cornerRadius, bool dev, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_radius = 0;
    bool m_dev = false;
};
