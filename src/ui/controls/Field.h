#pragma once

#include <QWidget>
#include <optional>

// An editor form row: a 126-wide label column, then the control and an optional hint below it.
class Field : public QWidget {
    Q_OBJECT
public:
    Field(const QString &label, QWidget *content, const std::optional<QString> &hint = std::nullopt, bool top = false,
          QWidget *parent = nullptr);
};
