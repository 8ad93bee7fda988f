#pragma once

#include <QDialog>

class FWButton;
class FWTextField;

// The modal "New Group" alert: one name field (prompt "Name") and the buttons Cancel and Create. Return creates,
// Escape cancels.
class NewGroupDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewGroupDialog(QWidget *parent = nullptr);

    QString name() const;
    FWTextField *field() const { return m_field; }
    FWButton *createButton() const { return m_create; }
    FWButton *cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FWTextField *m_field = nullptr;
    FWButton *m_create = nullptr;
    FWButton *m_cancel = nullptr;
};
