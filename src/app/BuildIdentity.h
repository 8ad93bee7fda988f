#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// Which build is running and how to name it, from the information dictionary installed beside the program
// (Info.json; none in the build tree, so a build-tree run is a development build).
class BuildIdentity {
public:
    // Reads an information dictionary; none means the program runs outside an installed bundle.
    explicit BuildIdentity(std::optional<QJsonObject> info);

    // The process's identity, read once from the installed Info.json (see infoPath()).
    static const BuildIdentity &current();
    // Where the installed dictionary sits relative to the executable: ../share/flumewire/Info.json.
    static QString infoPath();

    bool isDevBuild() const { return m_dev; }
    QString appDisplayName() const;
    QString appVersionString() const;
    std::optional<QString> feedURL() const;

private:
    std::optional<QJsonObject> m_info;
    bool m_dev = true;
};
