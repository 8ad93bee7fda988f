#pragma once

#include <QWidget>
#include <optional>

class FWLabel;
class WarpToggle;

// A labelled option with an optional hint and badge on the left and a small switch on the right.
class OptRow : public QWidget {
    Q_OBJECT
public:
    OptRow(const QString &label, const std::optional<QString> &hint, bool checked, QWidget *badge = nullptr,
           QWidget *parent = nullptr);

    void setChecked(bool checked);
    bool checked() const;
    WarpToggle *toggle() const { return m_toggle; }

signals:
    // The switch asked for this value; the owner stores it and calls setChecked.
    void toggled(bool checked);

private:
    WarpToggle *m_toggle = nullptr;
};
