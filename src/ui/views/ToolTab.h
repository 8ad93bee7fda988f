#pragma once

#include <QAbstractButton>

// One tool-tab button of the preferences: an icon over its label on a rounded plate, in the accent colour when
// active and shaded under the pointer otherwise.
class ToolTab : public QAbstractButton {
    Q_OBJECT
public:
    ToolTab(const QString &icon, const QString &label, QWidget *parent = nullptr);

    QString iconName() const { return m_icon; }
    QString label() const { return m_label; }
    bool isActive() const { return m_active; }
    void setActive(bool active);
    bool isHovered() const { return m_hover; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_icon;
    QString m_label;
    bool m_active = false;
    bool m_hover = false;
};
