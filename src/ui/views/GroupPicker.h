#pragma once

#include <QAbstractButton>

class QMenu;
struct TunnelGroup;

// The editor's group menu: a field-like face with the current group's name and an up-and-down chevron; a click
// opens the menu "None", the groups by order, "New Group…".
class GroupPicker : public QAbstractButton {
    Q_OBJECT
public:
    explicit GroupPicker(QWidget *parent = nullptr);

    static constexpr qreal radius = 8;
    static constexpr int height = 34;

    // The groups the menu offers, in the order given (the caller sorts them).
    void setGroups(const QList<TunnelGroup> &groups);
    // Builds the menu as it would open now (the caller owns it).
    QMenu *createMenu(QWidget *parent);

    // The face inside the widget: painted and clicked alike.
    QRectF faceRect() const;

    QSize sizeHint() const override;

signals:
    // A group was picked: its id, or an empty text for "None".
    void groupChosen(const QString &id);
    void newGroupRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override { return faceRect().contains(pos); }

private:
    void popUp();

    QList<QPair<QString, QString>> m_groups; // id, name
};
