// ssh's merged output, in any chunking: judging it never crashes, gives the same lines and verdict however the bytes
// arrive, reports connected at most once, and always has a reason when ssh exits.
#include "ssh/SSHOutputInterpreter.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Outcome {
    QStringList lines;
    int connects = 0;
    bool established = false;
    QString reason;
};

Outcome judge(TunnelType type, const QByteArray &output, qsizetype chunk)
{
    SSHOutputInterpreter interpreter(type);
    Outcome out;
    const auto take = [&](const QList<SSHOutputLine> &lines) {
        for (const SSHOutputLine &line : lines) {
            const QString &text = line.text;
            if (text.isEmpty() || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                text.front() == QLatin1Char(' ') || text.front() == QLatin1Char('\t') ||
                text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t'))
                std::abort();
            out.lines.append(text);
            out.connects += line.connects ? 1 : 0;
        }
    };
    for (qsizetype at = 0; at < output.size(); at += chunk)
        take(interpreter.feed(output.mid(at, chunk)));
    take(interpreter.feed({}, true));
    out.established = interpreter.established();
    out.reason = interpreter.exitReason();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const TunnelType type = data[0] % 3 == 0   ? TunnelType::Local
                            : data[0] % 3 == 1 ? TunnelType::Remote
                                               : TunnelType::Socks;
    const qsizetype chunk = 1 + data[1] % 97;
    const QByteArray output(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    const Outcome pieces = judge(type, output, chunk);
    const Outcome whole = judge(type, output, qMax<qsizetype>(output.size(), 1));
    if (pieces.connects > 1 || (pieces.connects == 1) != pieces.established || pieces.reason.isEmpty())
        std::abort();
    if (pieces.established && pieces.reason != QLatin1String("Disconnected"))
        std::abort();
    if (pieces.lines != whole.lines || pieces.established != whole.established || pieces.reason != whole.reason)
        std::abort();
    return 0;
}
