#pragma once

#include "ui/controls/Animator.h"

#include <QLineEdit>

// A single-line entry on a rounded field: hairline border at rest, accent border and a soft focus ring while it
// has the keyboard; optionally monospaced, secure (hidden characters) or centred.
class FWTextField : public QLineEdit {
    Q_OBJECT
public:
    FWTextField(const QString &placeholder = {}, bool mono = false, bool secure = false, bool centered = false,
                QWidget *parent = nullptr);

    static constexpr qreal radius = 7;
    // Room around the field for the focus ring.
    static constexpr int ringMargin = 3;

    // The field's own rectangle (inside the ring margin): fill, border and ring are drawn from it.
    QRectF fieldRect() const;
    // 0 at rest, 1 fully focused; eased over 0.15 s.
    Animator *focusAnimator() const { return m_focus; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;

private:
    void applyTheme();

    Animator *m_focus = nullptr;
    bool m_mono = false;
};
