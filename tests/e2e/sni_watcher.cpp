// A minimal StatusNotifierWatcher with a host, as a KDE- or XFCE-style panel offers it: reads the first registered
// item's menu through com.canonical.dbusmenu and clicks the entry labelled LABEL (its one argument) the way a panel
// does, printing "clicked LABEL"; status 1 when there was no such entry or no item within ten seconds.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDateTime>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream out(stdout);

// Walks a dbusmenu layout, (ia{sv}av), collecting the id of every entry that has a label, by its label.
void collect(const QDBusArgument &argument, QHash<QString, int> &ids)
{
    argument.beginStructure();
    int id = 0;
    QVariantMap properties;
    argument >> id >> properties;
    if (properties.contains(QStringLiteral("label")))
        ids.insert(properties.value(QStringLiteral("label")).toString(), id);
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        collect(child.variant().value<QDBusArgument>(), ids);
    }
    argument.endArray();
    argument.endStructure();
}

// Calls a method of an item's menu and waits for the answer.
QDBusMessage menuCall(const QString &service, const QString &menu, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, menu, QStringLiteral("com.canonical.dbusmenu"), method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

} // namespace

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    QString clickLabel;

    bool hostRegistered() const { return true; }

public slots:
    // Qt's tray icon registers by its bus name and serves the item at the usual path.
    void RegisterStatusNotifierItem(const QString &service)
    {
        QTimer::singleShot(200, this, [this, service] { inspect(service); });
    }

private:
    void inspect(const QString &service)
    {
        QDBusInterface item(service, QStringLiteral("/StatusNotifierItem"),
                            QStringLiteral("org.kde.StatusNotifierItem"));
        const QString menu = item.property("Menu").value<QDBusObjectPath>().path();
        const QDBusMessage reply = menuCall(service, menu, QStringLiteral("GetLayout"), {0, -1, QStringList()});
        QHash<QString, int> ids;
        if (reply.arguments().size() >= 2)
            collect(reply.arguments().at(1).value<QDBusArgument>(), ids);
        else
            out << "error " << reply.errorMessage() << Qt::endl;
        if (ids.contains(clickLabel)) {
            menuCall(service, menu, QStringLiteral("Event"),
                     {ids.value(clickLabel), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)),
                      uint(QDateTime::currentSecsSinceEpoch())});
            out << "clicked " << clickLabel << Qt::endl;
        }
        QCoreApplication::exit(ids.contains(clickLabel) ? 0 : 1);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Watcher watcher;
    watcher.clickLabel = app.arguments().value(1);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        out << "error cannot register the watcher: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    out << "watching" << Qt::endl;
    QTimer::singleShot(10000, &app, [] {
        out << "error no item registered" << Qt::endl;
        QCoreApplication::exit(1);
    });
    return app.exec();
}

#include "sni_watcher.moc"
