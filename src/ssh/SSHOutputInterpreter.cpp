#include "ssh/SSHOutputInterpreter.h"

#include "model/Tunnel.h"

#include <QLatin1StringView>
#include <algorithm>
#include <array>

// What the pipe holds, as measured against OpenSSH 9.2 (transcripts under tests/ssh/transcripts):
//
// * The tunnel's own ssh, started with -v: debug lines ("debug1: ...") and its messages without a prefix
//   ("user@host: Permission denied (publickey).", "ssh: connect to host h port 22: Connection refused").
// * The server's pre-login banner. ssh prints it raw (only control characters escaped; CR and tab pass) right after
//   "debug1: SSH2_MSG_SERVICE_ACCEPT received" and before its own next line, "debug1: Authentications that can
//   continue: ..." (or "Authenticated to ..." when no login is needed). A banner without a final line break is glued
//   to the front of that line. Everything between the two is the server's text and is never judged.
// * Lines of ssh that quote the server: text before its version ("kex_exchange_identification: banner line N: ..."),
//   its version ("remote software version ...") and "debug1: Remote: ..." notes. Never judged.
// * With a jump host, one more ssh per hop (ssh runs "ssh -v -W host:port hop" as its proxy command) writing into
//   the same pipe, with lines just like the tunnel's ssh, including "Authenticated to" and "Entering interactive
//   session". A hop logs in, says "debug1: channel_connect_stdio_fwd: ..." as it opens its forward, then enters its
//   session; only after every hop is in its session can the tunnel's ssh read its server's first byte. So an
//   "Entering interactive session" that answers a hop's stdio forward is that hop's; only one after them all can be
//   the tunnel's own. The tunnel's forwards ("Local forwarding listening", "remote forward success") are its own:
//   hops forward nothing but their stdio.
//
// Connected is decided by tunnel type from the tunnel's own lines, matched at the start of the line so that text
// quoted inside a line cannot pose as one: a local or SOCKS forward once "Local forwarding listening" is followed by
// the session starting (ssh announces the listener before binding it; a bind failure ends ssh before the session
// starts); a remote forward once the server confirms it ("remote forward success", or "All requested forwarding
// succeeded" from older clients), which comes after the session starts.
//
// Failure is decided only when ssh exits. Until then a line naming a failure is a candidate: ssh tries the next
// address after "connect to address ::1 port 22: Connection refused", so a later "Connection established." or
// "Authenticated to" (progress of the connection, or of a hop's) overcomes the candidates before it. ssh names what
// makes it give up in a message of its own, so a candidate from a message outranks one from a debug line; of each
// kind the first stands ("Address already in use" before its echo "cannot listen to port").

namespace {

struct FailureRow {
    QLatin1StringView pattern;
    QLatin1StringView reason;
};

constexpr std::array<FailureRow, 11> failureTable{{
    {QLatin1StringView("Permission denied"), QLatin1StringView("Permission denied")},
    {QLatin1StringView("Connection refused"), QLatin1StringView("Connection refused")},
    {QLatin1StringView("Could not resolve hostname"), QLatin1StringView("Host not found")},
    {QLatin1StringView("Name or service not known"), QLatin1StringView("Host not found")},
    {QLatin1StringView("Connection timed out"), QLatin1StringView("Connection timed out")},
    {QLatin1StringView("Operation timed out"), QLatin1StringView("Connection timed out")},
    {QLatin1StringView("Host key verification failed"), QLatin1StringView("Host key verification failed")},
    {QLatin1StringView("Address already in use"), QLatin1StringView("Local port already in use")},
    {QLatin1StringView("cannot listen to port"), QLatin1StringView("Cannot bind local port")},
    {QLatin1StringView("remote port forwarding failed"), QLatin1StringView("Remote forwarding failed")},
    {QLatin1StringView("No route to host"), QLatin1StringView("No route to host")},
}};

constexpr std::array<QLatin1StringView, 4> connectedPhrases{
    QLatin1StringView("Local forwarding listening"), QLatin1StringView("All requested forwarding succeeded"),
    QLatin1StringView("remote forward success"), QLatin1StringView("Entering interactive session")};

// An unterminated line longer than this is handled as a line of its own rather than held back for ever.
constexpr qsizetype maxPendingBytes = 64 * 1024;

constexpr QLatin1StringView serviceAccepted("debug1: SSH2_MSG_SERVICE_ACCEPT received");
constexpr QLatin1StringView authContinues("debug1: Authentications that can continue:");
constexpr QLatin1StringView authenticated("Authenticated to ");
constexpr QLatin1StringView connectionEstablished("debug1: Connection established.");
constexpr QLatin1StringView hopForward("debug1: channel_connect_stdio_fwd:");
constexpr QLatin1StringView sessionEntered("debug1: Entering interactive session.");
constexpr QLatin1StringView localListening("debug1: Local forwarding listening on ");
constexpr QLatin1StringView remoteSuccess("debug1: remote forward success for:");
constexpr QLatin1StringView allForwarded("All requested forwarding succeeded");

bool isDebugLine(const QString &line)
{
    return line.size() > 7 && line.startsWith(QLatin1StringView("debug")) && line.at(5).isDigit() &&
           line.at(6) == QLatin1Char(':');
}

bool quotesServer(const QString &line)
{
    return line.startsWith(QLatin1StringView("debug1: kex_exchange_identification: banner line")) ||
           line.startsWith(QLatin1StringView("debug1: Remote: ")) ||
           line.contains(QLatin1StringView("remote software version"));
}

} // namespace

SSHOutputInterpreter::SSHOutputInterpreter(TunnelType type) : m_type(type) {}

std::optional<QString> SSHOutputInterpreter::failureReason(const QString &text)
{
    for (const FailureRow &row : failureTable) {
        if (text.contains(row.pattern, Qt::CaseSensitive))
            return QString(row.reason);
    }
    return std::nullopt;
}

bool SSHOutputInterpreter::indicatesConnected(const QString &text)
{
    return std::ranges::any_of(connectedPhrases,
                               [&text](QLatin1StringView phrase) { return text.contains(phrase, Qt::CaseSensitive); });
}

QList<SSHOutputLine> SSHOutputInterpreter::feed(const QByteArray &bytes, bool atEnd)
{
    QList<SSHOutputLine> out;
    m_pending += bytes;
    qsizetype cut = std::max(m_pending.lastIndexOf('\n'), m_pending.lastIndexOf('\r'));
    if (atEnd || m_pending.size() - (cut + 1) > maxPendingBytes)
        cut = m_pending.size() - 1;
    if (cut < 0)
        return out;
    // Whole lines only: a multi-byte character is never cut, and bytes that are not UTF-8 become U+FFFD.
    const QString text = QString::fromUtf8(m_pending.constData(), cut + 1);
    m_pending.remove(0, cut + 1);

    qsizetype begin = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text.at(i) != QLatin1Char('\n') && text.at(i) != QLatin1Char('\r'))
            continue;
        QString line = trimSpacesAndTabs(text.mid(begin, i - begin));
        begin = i + 1;
        if (line.isEmpty())
            continue;
        const bool connects = judge(line);
        out.append(SSHOutputLine{std::move(line), connects});
    }
    return out;
}

std::optional<QString> SSHOutputInterpreter::failureCandidate() const
{
    return m_candidate ? m_candidate : m_debugCandidate;
}

QString SSHOutputInterpreter::exitReason() const
{
    if (m_established)
        return QStringLiteral("Disconnected");
    return failureCandidate().value_or(QStringLiteral("Connection failed"));
}

bool SSHOutputInterpreter::judge(const QString &line)
{
    // Once connected, output is only logged.
    if (m_established)
        return false;

    if (m_inBanner) {
        // The line that ends the banner may carry the banner's last, unterminated line in front of it.
        if (line.contains(authContinues) || line.contains(authenticated)) {
            m_inBanner = false;
            if (line.contains(authenticated))
                m_candidate = m_debugCandidate = std::nullopt;
        }
        return false;
    }
    if (line.startsWith(serviceAccepted)) {
        m_inBanner = true;
        return false;
    }
    if (quotesServer(line))
        return false;
    if (line.startsWith(hopForward)) {
        ++m_hopsEntering;
        return false;
    }
    if (line.startsWith(connectionEstablished) || line.startsWith(authenticated)) {
        m_candidate = m_debugCandidate = std::nullopt;
        return false;
    }
    if (const std::optional<QString> reason = failureReason(line)) {
        std::optional<QString> &slot = isDebugLine(line) ? m_debugCandidate : m_candidate;
        if (!slot)
            slot = reason;
        return false;
    }

    if (m_type == TunnelType::Remote) {
        m_established = line.startsWith(remoteSuccess) || line.contains(allForwarded);
        return m_established;
    }
    if (line.startsWith(localListening)) {
        m_listening = true;
        return false;
    }
    if (line.startsWith(sessionEntered)) {
        if (m_hopsEntering > 0) {
            --m_hopsEntering;
            return false;
        }
        m_established = m_listening;
        return m_established;
    }
    return false;
}
