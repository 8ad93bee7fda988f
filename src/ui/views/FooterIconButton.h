#pragma once

#include "ui/controls/Animator.h"

#include <QAbstractButton>

// One of the popover footer's icon buttons: a symbol in a 30 × 28 frame that brightens, thickens and gets a soft
// rounded fill while the pointer is over it; the help text is its tooltip and its accessible name. Reached with Tab,
// pressed with Space.
class FooterIconButton : public QAbstractButton {
    Q_OBJECT
public:
    FooterIconButton(const QString &iconName, qreal iconSize, const QString &help, QWidget *parent = nullptr);

    QString iconName() const { return m_iconName; }
    bool isHovered() const { return m_hover; }
    // Sets the hover look without a pointer event (the popover puts hover right after hiding, showing, scrolling).
    void setHovered(bool hover);
    Animator *hoverAnimator() const { return m_hoverAnim; }

    QSize sizeHint() const override { return {30, 28}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_iconName;
    qreal m_iconSize = 16;
    bool m_hover = false;
    Animator *m_hoverAnim = nullptr;
};
