#include "ssh/SSHManager.h"

#include <QtTest>

class SSHManagerTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(SSHManagerTest)
#include "tst_SSHManager.moc"
