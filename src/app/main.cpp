#include "app/BuildIdentity.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const BuildIdentity &identity = BuildIdentity::current();
    QTextStream out(stdout);
    out << identity.appDisplayName() << ' ' << identity.appVersionString() << '\n';
    return 0;
}
