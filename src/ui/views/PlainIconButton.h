#pragma once

#include "ui/theme/FWTheme.h"

#include <QAbstractButton>

// A borderless button that is just a symbol of the icon table centred in a fixed frame, optionally on a circle of
// surface2 (close buttons). Its content can be faded out while it stays clickable. Reached with Tab; a symbol says
// nothing to a screen reader, so the owner gives it an accessible name.
class PlainIconButton : public QAbstractButton {
    Q_OBJECT
public:
    PlainIconButton(const QString &iconName, qreal iconSize, QFont::Weight weight, FWTheme::Role role,
                    const QSize &frame, QWidget *parent = nullptr);

    QString iconName() const { return m_iconName; }
    void setIconName(const QString &name);
    void setCircle(bool circle);
    qreal contentOpacity() const { return m_opacity; }
    void setContentOpacity(qreal opacity);

    QSize sizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_iconName;
    qreal m_iconSize = 13;
    QFont::Weight m_weight = QFont::Normal;
    FWTheme::Role m_role = FWTheme::Role::Text;
    QSize m_frame;
    bool m_circle = false;
    qreal m_opacity = 1;
};
