#pragma once

#include <QWidget>

// Content on a rounded card of the theme's surface colour with a faint outline.
class GroupCard : public QWidget {
    Q_OBJECT
public:
    explicit GroupCard(QWidget *content, QWidget *parent = nullptr);

    // The card's outline, inside the widget.
    QRectF cardRect() const { return QRectF(rect()); }

protected:
    void paintEvent(QPaintEvent *event) override;
};
