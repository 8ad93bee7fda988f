#pragma once

#include "ui/controls/Animator.h"

#include <QWidget>
#include <optional>

// A segmented picker: options side by side on a track, the selected one on a thumb that slides when the
// selection changes; hovering an unselected option shades it. With the keyboard, Left and Right pick the
// neighbouring option.
class Segmented : public QWidget {
    Q_OBJECT
public:
    struct Option {
        QString value;
        QString label;
    };

    Segmented(const QList<Option> &options, const QString &selection, bool fullWidth = false,
              QWidget *parent = nullptr);

    QString selection() const { return m_selection; }
    void setSelection(const QString &value);
    std::optional<QString> hovered() const { return m_hovered; }

    // One rectangle per option in widget coordinates: painted and hit-tested alike.
    QList<QRectF> optionRects() const;
    // Index of the option under a point, or -1.
    int optionAt(const QPointF &point) const;
    Animator *thumbAnimator() const { return m_thumb; }
    Animator *hoverAnimator() const { return m_hover; }

    QSize sizeHint() const override;

signals:
    void selectionChanged(const QString &value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int indexOf(const QString &value) const;
    void setHovered(std::optional<QString> value);
    QRectF thumbRect() const;

    QList<Option> m_options;
    QString m_selection;
    bool m_fullWidth = false;
    std::optional<QString> m_hovered;
    QRectF m_thumbFrom;
    int m_pressed = -1;
    Animator *m_thumb = nullptr;
    Animator *m_hover = nullptr;
};
