#pragma once

#include <QDialog>

class FWButton;
class FWTextField;

// The modal "Rename Group" alert: one name field and the buttons Cancel and Rename. Return renames, Escape
// cancels.
class RenameGroupDialog : public QDialog {
    Q_OBJECT
public:
    explicit RenameGroupDialog(const QString &draft, QWidget *parent = nullptr);

    QString draft() const;
    FWTextField *field() const { return m_field; }
    FWButton *renameButton() const { return m_rename; }
    FWButton *cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FWTextField *m_field = nullptr;
    FWButton *m_rename = nullptr;
    FWButton *m_cancel = nullptr;
};
