#include "BenchTimer.h"
#include "model/Store.h"

// Encoding and decoding a tunnels file of 200 records, and building their ssh argument lists.
int main()
{
    QList<Tunnel> tunnels;
    for (int i = 0; i < 200; ++i) {
        Tunnel t = Store::sampleTunnels().at(i % 4);
        t.id = QStringLiteral("t%1").arg(i);
        tunnels.append(t);
    }
    const QByteArray data = Store::encodeTunnels(tunnels);
    const auto decode = measureMicros(200, [&] { (void)Store::decodeTunnels(data); });
    const auto encode = measureMicros(200, [&] { (void)Store::encodeTunnels(tunnels); });
    const auto args = measureMicros(200, [&] {
        for (const Tunnel &t : tunnels)
            (void)t.sshArguments();
    });
    report("decode 200 tunnels (median)", percentile(decode, 0.5), "us");
    report("encode 200 tunnels (median)", percentile(encode, 0.5), "us");
    report("ssh arguments for 200 tunnels (median)", percentile(args, 0.5), "us");
    return 0;
}
