#pragma once

#include "ui/views/PreferencesServices.h"

#include <QWidget>

class FWButton;
class FWTextField;
class OptRow;

// The Security tab: the two defaults new tunnels start from (strict host key checking and the identity file),
// each stored the moment it changes, and how authentication and the system proxy work.
class SecurityTab : public QWidget {
    Q_OBJECT
public:
    explicit SecurityTab(PreferencesServices services, QWidget *parent = nullptr);

    OptRow *strictRow() const { return m_strict; }
    FWTextField *identityField() const { return m_identity; }
    FWButton *chooseButton() const { return m_choose; }

    // Asks for a key file and stores its path with the home folder written as "~"; a cancel changes nothing.
    void chooseDefaultIdentity();

private:
    PreferencesServices m_services;
    OptRow *m_strict = nullptr;
    FWTextField *m_identity = nullptr;
    FWButton *m_choose = nullptr;
};
