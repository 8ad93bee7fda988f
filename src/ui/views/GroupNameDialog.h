#pragma once

#include <QDialog>

class FWButton;
class FWTextField;

// The modal alert that asks for a group's name: a title, one name field (prompt "Name") and the buttons Cancel and
// the action ("Create", "Rename"). Return accepts, Escape cancels. New and renamed groups share it.
class GroupNameDialog : public QDialog {
    Q_OBJECT
public:
    GroupNameDialog(const QString &title, const QString &action, const QString &draft, QWidget *parent = nullptr);

    QString name() const;
    FWTextField *field() const { return m_field; }
    FWButton *acceptButton() const { return m_accept; }
    FWButton *cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FWTextField *m_field = nullptr;
    FWButton *m_accept = nullptr;
    FWButton *m_cancel = nullptr;
};
