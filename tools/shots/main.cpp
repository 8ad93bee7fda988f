// flumewire-shots [folder]: renders every window and control of the desktop interface, light and dark, into PNG
// files for people to look at (default folder: ./shots). It runs offscreen against a throw-away home folder, so it
// neither shows windows nor touches the user's tunnels and settings.
#include "Camera.h"
#include "ControlGallery.h"
#include "WindowShots.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

// The offscreen platform says, for every window, what it cannot do (raise, keyboard grabs): not news here.
static void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support")))
        QTextStream(stderr) << (type == QtDebugMsg ? "" : "warning: ") << message << '\n';
}

int main(int argc, char **argv)
{
    QTextStream err(stderr);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    if (argc > 2 || folder.startsWith(QLatin1Char('-'))) {
        err << "usage: flumewire-shots [folder]   (default: ./shots)\n";
        return 2;
    }
    if (!QDir().mkpath(folder)) {
        err << "flumewire-shots: cannot create " << folder << '\n';
        return 1;
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        err << "flumewire-shots: cannot create a temporary home folder: " << home.errorString() << '\n';
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    // Something for the Import tab to find.
    QDir(home.path()).mkpath(".ssh");
    QFile config(home.filePath(".ssh/config"));
    if (config.open(QIODevice::WriteOnly))
        config.write("Host db\n  User deploy\n  LocalForward 5432 localhost:5432\n  DynamicForward 1080\n"
                     "Host web\n  User ops\n  RemoteForward 8080 localhost:80\n");
    config.close();

    Camera camera(QDir(folder).absolutePath());
    for (bool dark : {false, true}) {
        camera.setDark(dark);
        shootPopover(camera);
        shootEditor(camera);
        shootPreferences(camera);
        shootLog(camera);
        shootTrayMenu(camera);
        shootControls(camera);
        shootBrand(camera);
    }
    shootTrayIcons(camera);

    QTextStream(stdout) << camera.written().size() << " pictures in " << QDir(folder).absolutePath() << '\n';
    for (const QString &path : camera.failed())
        err << "flumewire-shots: could not write " << path << '\n';
    return camera.failed().isEmpty() && !camera.written().isEmpty() ? 0 : 1;
}
