#pragma once

#include <QString>

// Which build is running and how to name it. A program run from the build tree is a development build (its own data
// folder and bus name); the installed program is the regular build. The executables' entry files are compiled once
// for each kind, and the libraries are handed the identity.
class BuildIdentity {
public:
    enum class Kind { Development, Regular };

    explicit BuildIdentity(Kind kind) : m_kind(kind) {}

    bool isDevBuild() const { return m_kind == Kind::Development; }
    // "Flumewire", or "Flumewire (Dev)".
    QString appDisplayName() const;
    // "Version 0.1.0 (1)", or "dev build".
    QString appVersionString() const;

private:
    Kind m_kind;
};
