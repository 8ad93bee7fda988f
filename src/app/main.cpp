#include "app/BuildIdentity.h"
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The tray program: beside this executable in a build tree, else in the installation's libexec folder.
QString trayProgram()
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {here.filePath(QStringLiteral("flumewire-tray")),
                                     here.filePath(QStringLiteral(FLUMEWIRE_BIN_TO_LIBEXEC "/flumewire-tray"))}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

} // namespace

// The sub-commands run here with Qt Core and Network only; without one, this process becomes the tray program, so
// the desktop libraries are loaded only by the tray.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flumewire"));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (arguments.isEmpty()) {
        const QString tray = trayProgram();
        if (tray.isEmpty()) {
            QTextStream(stderr) << "flumewire: the tray application (flumewire-tray) is not installed; "
                                   "the sub-commands work without it (see flumewire --help)\n";
            return 1;
        }
        // The same process (and pid) goes on as the tray, with the same environment.
        const QByteArray path = QFile::encodeName(tray);
        char *const trayArgv[] = {const_cast<char *>(path.constData()), nullptr};
        ::execv(path.constData(), trayArgv);
        QTextStream(stderr) << "flumewire: cannot start " << tray << ": " << std::strerror(errno) << '\n';
        return 1;
    }

    CommandLine::Options options;
    if (qEnvironmentVariableIsSet("FLUMEWIRE_SSH"))
        options.sshProgram = qEnvironmentVariable("FLUMEWIRE_SSH");
    return CommandLine(arguments, BuildIdentity(BuildIdentity::Kind::FLUMEWIRE_BUILD_KIND), options).run();
}
