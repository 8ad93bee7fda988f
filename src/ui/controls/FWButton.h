#pragma once

#include "ui/controls/FWButtonStyle.h"

#include <QAbstractButton>

// A push button drawn with FWButtonStyle: a text, optionally after an icon of the symbol table.
class FWButton : public QAbstractButton {
    Q_OBJECT
public:
    FWButton(const QString &text, FWButtonStyle::Kind kind = FWButtonStyle::Kind::Normal, bool compact = false,
             QWidget *parent = nullptr);

    const FWButtonStyle &buttonStyle() const { return m_style; }
    void setButtonStyle(const FWButtonStyle &style);
    void setIconName(const QString &name);

    // Hover shows only while the pointer is inside and the button is enabled.
    bool showsHover() const { return m_pointerInside && isEnabled(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void paintLayer(QImage &layer) const;

    FWButtonStyle m_style;
    QString m_iconName;
    bool m_pointerInside = false;
};

// Gives an existing button of ours a kind and size.
inline FWButton *fwButton(FWButton *button, FWButtonStyle::Kind kind, bool compact = false)
{
    button->setButtonStyle(FWButtonStyle(kind, compact));
    return button;
}
