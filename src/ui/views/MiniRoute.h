#pragma once

#include "model/Tunnel.h"

#include <QWidget>

class FWLabel;

// A row's route line: the listening end, an arrow, and the destination (or "SOCKS" in the accent colour).
class MiniRoute : public QWidget {
    Q_OBJECT
public:
    explicit MiniRoute(const Tunnel &tunnel, QWidget *parent = nullptr);

    void setTunnel(const Tunnel &tunnel);
    QString fromText() const;
    QString toText() const;
    bool toIsAccent() const;
    FWLabel *fromLabel() const { return m_from; }
    FWLabel *toLabel() const { return m_to; }

private:
    FWLabel *m_from = nullptr;
    FWLabel *m_to = nullptr;
};
