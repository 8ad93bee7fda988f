#include "ui/views/AboutTab.h"

#include "ui/brand/AppIconView.h"
#include "ui/brand/FlumeMark.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

namespace {

// A line 360 wide and 1 high.
class Rule : public QWidget {
public:
    Rule()
    {
        setFixedSize(360, 1);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), FWTheme::of(this).hairline(0.1)); }
};

// The signature: the brand mark in outline over a short caption.
class Signature : public QWidget {
public:
    Signature()
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto column = new QVBoxLayout(this);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(6);
        m_mark = new FlumeMark(FlumeMark::Fill::Body, 22, FWTheme(false).flumeGreen);
        column->addWidget(m_mark, 0, Qt::AlignHCenter);
        column->addWidget(
            new FWLabel(QStringLiteral("Keeps your tunnels flowing."), FWTheme::font(11), FWTheme::Role::Text3), 0,
            Qt::AlignHCenter);
    }

private:
    FlumeMark *m_mark = nullptr;
};

} // namespace

QString AboutTab::documentPath(const QString &relativeToSource, const QString &installedName)
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {programDir.filePath(QStringLiteral("../share/doc/flumewire/") + installedName),
                                     programDir.filePath(QStringLiteral("../../share/doc/flumewire/") + installedName),
                                     QStringLiteral(FLUMEWIRE_SOURCE_DIR "/") + relativeToSource}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isReadable())
            return info.canonicalFilePath();
    }
    return {};
}

QList<AboutTab::Link> AboutTab::links()
{
    QList<Link> result;
    // There is no web site: the read-me shipped with the program is its home page.
    const QString readme = documentPath(QStringLiteral("README.md"), QStringLiteral("README.md"));
    if (!readme.isEmpty())
        result.append({QStringLiteral("Website"), QUrl::fromLocalFile(readme)});
    // The licences of everything the program ships, as the package installs them.
    const QString licence = documentPath(QStringLiteral("packaging/copyright"), QStringLiteral("copyright"));
    if (!licence.isEmpty())
        result.append({QStringLiteral("Acknowledgements"), QUrl::fromLocalFile(licence)});
    return result;
}

AboutTab::AboutTab(PreferencesServices services, QWidget *parent) : QWidget(parent), m_services(std::move(services))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumWidth(460);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 12, 0, 0);
    column->setSpacing(0);

    column->addWidget(new AppIconView(88, 0, m_services.dev), 0, Qt::AlignHCenter);
    column->addSpacing(16);
    m_name = new FWLabel(m_services.displayName, FWTheme::font(22, QFont::Bold), FWTheme::Role::Text);
    column->addWidget(m_name, 0, Qt::AlignHCenter);
    column->addSpacing(5);
    column->addWidget(
        new FWLabel(QStringLiteral("The menu-bar manager for SSH tunnels"), FWTheme::font(12.5), FWTheme::Role::Text2),
        0, Qt::AlignHCenter);
    column->addSpacing(4);
    m_version = new FWLabel(m_services.versionText, FWTheme::font(11), FWTheme::Role::Text3);
    m_version->setAccessibleName(QStringLiteral("App version: ") + m_services.versionText);
    column->addWidget(m_version, 0, Qt::AlignHCenter);

    if (m_services.checkForUpdates) {
        column->addSpacing(14);
        m_update = new FWButton(QStringLiteral("Check for Updates…"));
        m_update->setIconName(QStringLiteral("refresh"));
        connect(m_update, &QAbstractButton::clicked, this, [this] { m_services.checkForUpdates(); });
        column->addWidget(m_update, 0, Qt::AlignHCenter);
    }

    column->addSpacing(16);
    auto linkRow = new QHBoxLayout;
    linkRow->setSpacing(2);
    linkRow->addStretch(1);
    const QList<Link> shown = links();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (i > 0)
            linkRow->addWidget(new FWLabel(QStringLiteral("·"), FWTheme::font(11), FWTheme::Role::Text3));
        auto button = new FWButton(shown.at(i).label, FWButtonStyle::Kind::Ghost, true);
        const QUrl target = shown.at(i).target;
        connect(button, &QAbstractButton::clicked, this, [this, target] { m_services.open(target); });
        m_links.append(button);
        linkRow->addWidget(button);
    }
    linkRow->addStretch(1);
    column->addLayout(linkRow);
    column->addSpacing(14);
    column->addWidget(new Rule, 0, Qt::AlignHCenter);
    column->addSpacing(14);
    column->addWidget(new Signature, 0, Qt::AlignHCenter);
}
