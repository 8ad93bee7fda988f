#include "engine/EventLoopClock.h"
#include "engine/ManualClock.h"

#include <QtTest>

class TstClock : public QObject {
    Q_OBJECT
private slots:
    void manualClockRunsDueWorkInOrder();
    void eventLoopClockFiresCancelsAndRepeats();
};

void TstClock::manualClockRunsDueWorkInOrder()
{
    ManualClock clock;
    QStringList ran;
    clock.after(300, [&] { ran << QStringLiteral("b@%1").arg(clock.now()); });
    clock.after(100, [&] { ran << QStringLiteral("a@%1").arg(clock.now()); });
    clock.after(300, [&] { ran << QStringLiteral("c@%1").arg(clock.now()); });
    const Clock::WorkId dropped = clock.after(200, [&] { ran << QStringLiteral("dropped"); });
    clock.cancel(dropped);
    clock.cancel(dropped);
    const Clock::WorkId tick = clock.every(250, [&] { ran << QStringLiteral("tick@%1").arg(clock.now()); });

    clock.advance(99);
    QVERIFY(ran.isEmpty());
    clock.advance(201);
    QCOMPARE(ran, QStringList({"a@100", "tick@250", "b@300", "c@300"}));
    QCOMPARE(clock.now(), 300);

    // Work scheduled by work runs in the same advance when it falls due; cancelled repeats stop.
    ran.clear();
    clock.after(10, [&] { clock.after(10, [&] { ran << QStringLiteral("nested@%1").arg(clock.now()); }); });
    clock.advance(200);
    QCOMPARE(ran, QStringList({"nested@320", "tick@500"}));
    clock.cancel(tick);
    clock.advance(1000);
    QCOMPARE(ran.size(), 2);
    QCOMPARE(clock.pendingCount(), 0);
}

void TstClock::eventLoopClockFiresCancelsAndRepeats()
{
    EventLoopClock clock;
    int once = 0;
    int cancelled = 0;
    int repeats = 0;
    clock.after(10, [&] { ++once; });
    const Clock::WorkId dropped = clock.after(10, [&] { ++cancelled; });
    clock.cancel(dropped);
    Clock::WorkId repeating = 0;
    repeating = clock.every(10, [&] {
        if (++repeats == 3)
            clock.cancel(repeating);
    });
    QTRY_COMPARE(repeats, 3);
    QTest::qWait(100);
    QCOMPARE(once, 1);
    QCOMPARE(cancelled, 0);
    QCOMPARE(repeats, 3);
    QCOMPARE(clock.pendingCount(), 0);
    QVERIFY(clock.now() >= 30);
}

QTEST_GUILESS_MAIN(TstClock)
#include "tst_Clock.moc"
