#pragma once

#include "ssh/SSHRunning.h"

#include <QObject>

// Stands in where a program is built without the ssh runner: every start is reported as failed (queued, as the
// runner's reports are), nothing ever runs.
class NoSSHRunner : public QObject, public SSHRunning {
    Q_OBJECT
public:
    void start(const Tunnel &tunnel) override;
    void stop(const QString &) override {}
    void stopAll() override {}
    bool isRunning(const QString &) const override { return false; }
};
