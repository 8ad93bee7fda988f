#pragma once

#include "model/LogLine.h"
#include "model/TunnelStatus.h"
#include "ui/theme/FWTheme.h"
#include "ui/views/ViewActions.h"

#include <QUuid>
#include <QWidget>

class AppState;
class FWButton;
class FWLabel;
class ResizeGrip;
class PlainIconButton;
class QTextEdit;
class QVariantAnimation;
class StatusDot;

// One tunnel's ssh output: a header with the tunnel's dot and name, a Copy button and a close button, then a
// scrolling area (260 high at first; the window's corner grip makes it taller) with each line's time and text,
// coloured by what the line means. Lines that arrive are appended and the area jumps to the newest one.
class LogView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 460;
    static constexpr int logHeight = 260;

    LogView(AppState &state, ViewActions actions, const QString &tunnelId, QWidget *parent = nullptr);

    QString tunnelId() const { return m_tunnelId; }
    // Shows another tunnel's log in the same window.
    void setTunnelId(const QString &tunnelId);

    // Red for a failure, green for a connection or "Authenticated", otherwise the secondary text colour.
    static FWTheme::Role lineRole(const QString &text);
    static QString emptyText();

    QString title() const;
    TunnelStatus dotStatus() const;
    bool showsEmptyText() const;
    qsizetype lineCount() const { return m_lineIds.size(); }
    QList<QUuid> lineIds() const { return m_lineIds; }
    // The text of line `index` as shown, and the colour its text (not its time) is drawn in.
    QString lineText(qsizetype index) const;
    QColor lineColor(qsizetype index) const;
    QTextEdit *logArea() const { return m_text; }
    PlainIconButton *closeButton() const { return m_close; }
    FWButton *copyButton() const { return m_copy; }
    ResizeGrip *resizeGrip() const { return m_grip; }
    // Every line as "time text", oldest first, one per line: what Copy puts on the clipboard.
    QString plainText() const;
    void copyAll();
    // The glide to the newest line after lines arrive (tests run it to its end).
    QVariantAnimation *scrollAnimation() const { return m_scrollAnim; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void reload();
    void appendLine(const LogLine &line);
    void updateHeader();
    void scrollToNewest();

    AppState &m_state;
    ViewActions m_actions;
    QString m_tunnelId;
    QList<QUuid> m_lineIds;

    StatusDot *m_dot = nullptr;
    FWLabel *m_title = nullptr;
    PlainIconButton *m_close = nullptr;
    FWButton *m_copy = nullptr;
    ResizeGrip *m_grip = nullptr;
    FWLabel *m_empty = nullptr;
    QTextEdit *m_text = nullptr;
    QVariantAnimation *m_scrollAnim = nullptr;
};
