#pragma once

#include "ui/views/PreferencesServices.h"

#include <QList>
#include <QUrl>
#include <QWidget>

class FWButton;
class FWLabel;

// The About tab: the application's icon, name, tagline and version, an update button where there is an updater,
// links to the documents shipped with the program, and a small signature.
class AboutTab : public QWidget {
    Q_OBJECT
public:
    struct Link {
        QString label;
        QUrl target;
    };

    explicit AboutTab(PreferencesServices services, QWidget *parent = nullptr);

    // Of "Website", "Release Notes", "Privacy" and "Acknowledgements", in that order, those whose page exists here.
    static QList<Link> links();
    // A document shipped with the program (installed under share/doc/flumewire, or in the source tree of a build
    // that runs where it was built); empty when there is none.
    static QString documentPath(const QString &relativeToSource, const QString &installedName);

    FWLabel *nameLabel() const { return m_name; }
    FWLabel *versionLabel() const { return m_version; }
    FWButton *updateButton() const { return m_update; }
    QList<FWButton *> linkButtons() const { return m_links; }

private:
    PreferencesServices m_services;
    FWLabel *m_name = nullptr;
    FWLabel *m_version = nullptr;
    FWButton *m_update = nullptr;
    QList<FWButton *> m_links;
};
