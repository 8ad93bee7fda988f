#include "BenchTimer.h"
#include "system/SSHConfigImport.h"

#include <QString>

namespace {

// A config of about `lines` lines: host blocks of ten lines with settings, comments and three forwards each.
QString typicalConfig(int lines)
{
    QString text;
    for (int i = 0; text.count(QLatin1Char('\n')) < lines; ++i) {
        text += QStringLiteral("Host web%1 web%1.example *.web%1\n"
                               "  HostName 10.0.%2.%3\n"
                               "  User deploy # who\n"
                               "  Port=22%2\n"
                               "  IdentityFile \"~/.ssh/id_%1\"\n"
                               "  LocalForward 127.0.0.1:%4 db%1:5432\n"
                               "  RemoteForward [::1]:%5 localhost:80\n"
                               "  DynamicForward %6\n"
                               "Match all\n"
                               "\n")
                    .arg(i)
                    .arg(i % 200)
                    .arg(i % 250)
                    .arg(10000 + i % 50000)
                    .arg(20000 + i % 40000)
                    .arg(30000 + i % 30000);
    }
    return text;
}

// The same size without forwards: only the line scanning, no tunnels built.
QString settingsOnly(int lines)
{
    QString text;
    for (int i = 0; i < lines; ++i)
        text += i % 10 == 0 ? QStringLiteral("Host h%1 *.h%1\n").arg(i) : QStringLiteral("  User = u%1 # who\n").arg(i);
    return text;
}

void measure(const char *label, const QString &text, int lines, int runs)
{
    const auto samples = measureMicros(runs, [&] { (void)SSHConfigImport::parse(text); });
    const double median = percentile(samples, 0.5);
    report((QByteArray(label) + " (median)").constData(), median / 1000.0, "ms");
    report((QByteArray(label) + " per line").constData(), median * 1000.0 / lines, "ns");
}

} // namespace

// Parsing time grows with the size of the config, not faster: compare the per-line figures across sizes. With tens
// of thousands of tunnels the result list itself reaches tens of megabytes, and the allocator's fresh pages then
// show in the per-line figure (run with MALLOC_MMAP_THRESHOLD_=2000000000 to see the parser's own cost).
int main()
{
    for (int lines : {1000, 10000, 100000}) {
        const QString text = typicalConfig(lines);
        measure(QStringLiteral("parse %1-line config").arg(lines).toUtf8().constData(), text, lines,
                lines >= 100000 ? 5 : 20);
    }
    for (int lines : {1000, 10000, 100000}) {
        measure(QStringLiteral("scan %1-line config without forwards").arg(lines).toUtf8().constData(),
                settingsOnly(lines), lines, lines >= 100000 ? 5 : 20);
    }
    // Worst shapes: one block with very many forwards, and one 1 MB line of colons and spaces.
    for (int count : {10000, 100000}) {
        QString forwards = QStringLiteral("Host one\n");
        for (int i = 0; i < count; ++i)
            forwards += QStringLiteral("LocalForward %1 h:%1\n").arg(i);
        measure(QStringLiteral("parse one host with %1 forwards").arg(count).toUtf8().constData(), forwards, count + 1,
                5);
    }
    const QString longLine = QStringLiteral("LocalForward ") + QString(500000, QLatin1Char(':')) + QStringLiteral(" ") +
                             QString(500000, QLatin1Char(' ')) + QStringLiteral("x:1");
    measure("parse one 1 MB line", QStringLiteral("Host a\n") + longLine, 2, 5);
    return 0;
}
