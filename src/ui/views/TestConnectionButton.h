#pragma once

#include "ui/controls/Animator.h"

#include <QAbstractButton>
#include <optional>

// The editor's "Test connection" button: a bolt and the text, or a spinner while a test runs (and the button is
// disabled), then the last result's message in green or red until the next test starts.
class TestConnectionButton : public QAbstractButton {
    Q_OBJECT
public:
    struct Result {
        bool ok = false;
        QString message;
    };

    explicit TestConnectionButton(QWidget *parent = nullptr);

    bool testing() const { return m_testing; }
    // Shows the spinner and clears the last result.
    void setTesting();
    // Stops the spinner and shows the result.
    void setResult(const Result &result);
    const std::optional<Result> &result() const { return m_result; }

    QString shownText() const;
    // Secondary text without a result, stGreen after a success, stRed after a failure.
    FWTheme::Role textRole() const;
    bool showsHover() const { return m_pointerInside && isEnabled(); }
    Animator *hoverAnimator() const { return m_hover; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateHover();

    bool m_testing = false;
    std::optional<Result> m_result;
    bool m_pointerInside = false;
    Animator *m_hover = nullptr;
    Animator *m_spin = nullptr;
};
