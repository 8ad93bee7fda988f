#pragma once

#include <QWidget>
#include <optional>

// A preferences row: a 200-wide column with the label and an optional hint, then the control.
class PrefRow : public QWidget {
    Q_OBJECT
public:
    PrefRow(const QString &label, QWidget *content, const std::optional<QString> &hint = std::nullopt, bool top = false,
            QWidget *parent = nullptr);
};
