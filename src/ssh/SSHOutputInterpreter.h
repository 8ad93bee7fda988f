#pragma once

#include "model/TunnelType.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// One line of ssh's output, and whether it is the line that showed the run connected.
struct SSHOutputLine {
    QString text;
    bool connects = false;
};

// Reads the merged output of one ssh run and decides, from what the tunnel's own ssh says about its own connection,
// when the run is connected and, once ssh has exited, why it ended. One interpreter per run; never reused.
class SSHOutputInterpreter {
public:
    explicit SSHOutputInterpreter(TunnelType type);

    // The reason of the first failure-table row whose pattern occurs in text, or none.
    static std::optional<QString> failureReason(const QString &text);
    // True when text holds one of ssh's connected phrases, whoever printed it (for colouring log lines).
    static bool indicatesConnected(const QString &text);

    // Takes the next chunk of output and returns its complete lines (split at CR and LF, spaces and tabs trimmed,
    // empty ones dropped), each judged in order. Bytes after the last line break wait for the next chunk; atEnd
    // takes them as a last line.
    QList<SSHOutputLine> feed(const QByteArray &bytes, bool atEnd = false);

    bool established() const { return m_established; }
    // The failure ssh's own messages have named so far and that nothing since has overcome, if any.
    std::optional<QString> failureCandidate() const;
    // Why the run ended once ssh has exited by itself: "Disconnected" after a connect, else the standing failure
    // candidate, else "Connection failed".
    QString exitReason() const;

private:
    bool judge(const QString &line);

    TunnelType m_type;
    // Bytes after the last line break, waiting for the rest of their line.
    QByteArray m_pending;
    bool m_established = false;
    // Inside the login exchange, where the server's banner is printed.
    bool m_inBanner = false;
    bool m_listening = false;
    // Jump-host ssh processes that have opened their forward and not yet said they entered their session.
    int m_hopsEntering = 0;
    std::optional<QString> m_candidate;
    std::optional<QString> m_debugCandidate;
};
