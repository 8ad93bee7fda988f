#pragma once

#include <QWidget>

class Clock;
class FWButton;
class QScrollArea;

// The band under the editor's form: "COMMAND PREVIEW" with a Copy button, and a single line that scrolls sideways
// showing the command, its leading "ssh " in the accent colour. Copy puts the whole command on the clipboard and
// reads "Copied" for 1.4 s.
class CommandPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 copiedMs = 1400;

    explicit CommandPreview(Clock &clock, QWidget *parent = nullptr);

    QString command() const { return m_command; }
    void setCommand(const QString &command);
    bool copied() const { return m_copied; }
    void copy();

    FWButton *copyButton() const { return m_copyButton; }
    // The sideways-scrolling line (tests scroll it).
    QScrollArea *commandArea() const { return m_area; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setCopied(bool copied);

    Clock &m_clock;
    QString m_command;
    bool m_copied = false;
    FWButton *m_copyButton = nullptr;
    QScrollArea *m_area = nullptr;
    QWidget *m_line = nullptr;
};
