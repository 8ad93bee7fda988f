#include "ControlGallery.h"

#include "Camera.h"
#include "app/MenuBarImage.h"
#include "ui/brand/AppIconView.h"
#include "ui/brand/DrawnAppIcon.h"
#include "ui/brand/FlumeMark.h"
#include "ui/brand/FlumeScene.h"
#include "ui/brand/Sparkline.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Field.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/GroupCard.h"
#include "ui/controls/Icon.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/PrefRow.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/SubHead.h"
#include "ui/controls/TypeChip.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFormLayout>
#include <QPainter>

namespace {

using S = TunnelStatus;
const QList<std::pair<S, QString>> statuses{
    {S::Connected, "connected"}, {S::Connecting, "connecting"}, {S::Failed, "failed"}, {S::Idle, "idle"}};

// The window background of the theme in force, so that controls are seen on what they sit on.
class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), FWTheme::of(this).winBg()); }
};

// One picture per kind of control, taken when the sheet goes: every state on its own captioned line.
class Sheet {
public:
    Sheet(Camera &camera, const QString &name)
        : m_camera(camera), m_name(name), m_root(new Backdrop, camera.dark() ? Appearance::Dark : Appearance::Light)
    {
        m_rows = new QFormLayout(m_root.content());
        m_rows->setContentsMargins(14, 12, 14, 12);
        m_rows->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    }
    ~Sheet()
    {
        show();
        m_camera.widget(&m_root, "control-" + m_name);
    }
    template <typename W> W *add(const QString &caption, W *widget)
    {
        m_rows->addRow(new FWLabel(caption, FWTheme::font(10.5), FWTheme::Role::Text3), widget);
        return widget;
    }
    void show()
    {
        m_root.resize(m_root.sizeHint().expandedTo(QSize(420, 10)));
        m_root.show();
        QCoreApplication::processEvents();
    }

private:
    Camera &m_camera;
    QString m_name;
    FWRoot m_root;
    QFormLayout *m_rows = nullptr;
};

void hover(QWidget *widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(widget, &enter);
}

void buttons(Camera &camera)
{
    using Kind = FWButtonStyle::Kind;
    Sheet sheet(camera, "buttons");
    QList<FWButton *> hovered;
    for (auto [kind, name] : {std::pair{Kind::Normal, "normal"}, {Kind::Primary, "primary"}, {Kind::Ghost, "ghost"}}) {
        for (bool compact : {false, true}) {
            const QString base = QStringLiteral("%1%2 ").arg(name, compact ? " compact" : "");
            auto button = [&](const QString &state) {
                return sheet.add(base + state, new FWButton("Save Tunnel", kind, compact));
            };
            button("rest");
            hovered << button("hover");
            button("pressed")->setDown(true);
            FWButton *disabled = button("disabled, hover");
            disabled->setEnabled(false);
            hovered << disabled;
            button("icon")->setIconName("plus");
        }
    }
    sheet.show();
    for (FWButton *button : hovered)
        hover(button);
}

void textFields(Camera &camera)
{
    Sheet sheet(camera, "text-fields");
    sheet.add("placeholder", new FWTextField("host.example.com"));
    auto field = [&](const QString &caption, const QString &text, bool mono = false, bool secure = false,
                     bool centered = false) {
        auto f = sheet.add(caption, new FWTextField("placeholder", mono, secure, centered));
        f->setText(text);
        return f;
    };
    field("text", "bastion.internal");
    field("focused", "focused")->focusAnimator()->jumpTo(1);
    field("mono", "127.0.0.1:8080", true);
    field("secure", "secret", false, true);
    field("centered", "22", true, false, true);
}

void icons(Camera &camera)
{
    Sheet sheet(camera, "icons");
    const QStringList names = {
        "gear",  "plus",  "minus", "pencil",  "duplicate", "trash",      "ellipsis", "search",  "x",           "check",
        "chevR", "chevD", "list",  "sliders", "shield",    "import",     "info",     "key",     "bolt",        "power",
        "copy",  "bell",  "moon",  "network", "globe",     "arrowRight", "folder",   "refresh", "unknown-name"};
    for (qsizetype start = 0; start < names.size(); start += 10) {
        auto layout = new QHBoxLayout(sheet.add(names.mid(start, 10).join(' ').left(24), new QWidget));
        for (const QString &name : names.mid(start, 10))
            layout->addWidget(new Icon(name, 16, QFont::Medium));
    }
    auto layout = new QHBoxLayout(sheet.add("weights, accent", new QWidget));
    for (auto weight : {QFont::Light, QFont::Normal, QFont::Medium, QFont::DemiBold, QFont::Bold})
        layout->addWidget(new Icon("gear", 22, weight, FWTheme::Role::Accent));
}

void statusDots(Camera &camera)
{
    Sheet sheet(camera, "status-dots");
    for (const auto &[status, name] : statuses)
        sheet.add(name, new StatusDot(status, 8));
    auto early = sheet.add("connecting, pulse 0.25", new StatusDot(S::Connecting, 8));
    auto late = sheet.add("connecting, pulse 0.6", new StatusDot(S::Connecting, 8));
    auto big = sheet.add("connected 12, ripple", new StatusDot(S::Connected, 12));
    sheet.show();
    early->pulseAnimator()->setCurrentTime(1300 / 4);
    late->pulseAnimator()->setCurrentTime(1300 * 6 / 10);
    big->setWarp(true);
    big->rippleAnimator()->setCurrentTime(400);
}

void toggles(Camera &camera)
{
    Sheet sheet(camera, "toggles");
    QList<WarpToggle *> squashed;
    for (bool small : {false, true}) {
        const QString size = small ? "small " : "";
        sheet.add(size + "off", new WarpToggle(false, S::Connected, small));
        for (const auto &[status, name] : statuses)
            sheet.add(size + "on, " + name, new WarpToggle(true, status, small));
        squashed << sheet.add(size + "turning on, squashed", new WarpToggle(false, S::Connected, small));
    }
    sheet.show();
    for (WarpToggle *toggle : squashed) {
        QObject::connect(toggle, &WarpToggle::changed, toggle, &WarpToggle::setOn);
        toggle->click();
        toggle->knobAnimator()->setCurrentTime(120);
        toggle->squashAnimator()->finish();
    }
}

void formParts(Camera &camera)
{
    Sheet sheet(camera, "form-parts");
    for (auto [type, name] :
         {std::pair{TunnelType::Local, "local"}, {TunnelType::Remote, "remote"}, {TunnelType::Socks, "socks"}})
        sheet.add(QStringLiteral("chip ") + name, new TypeChip(type));
    sheet.add("check off", new FWCheck(false));
    sheet.add("check on", new FWCheck(true));
    sheet.add("option row on, hint, badge",
              new OptRow("Compression", "Sends -C. Helps on slow links, costs a little CPU on fast ones.", true,
                         new TypeChip(TunnelType::Socks)));
    sheet.add("option row off, no hint", new OptRow("Keep alive", std::nullopt, false));
    sheet.add("disclosure closed", new Disclosure("Advanced options", new FWLabel("hidden", FWTheme::font(12))));
    sheet.add("disclosure open",
              new Disclosure("Advanced options", new FWLabel("Content below", FWTheme::font(12)), true));
    sheet.add("subhead", new SubHead("Connection"));
    sheet.add("group caption", new GroupCaption("work", "a-b"));
    sheet.add("group card", new GroupCard(new FWLabel("Card content", FWTheme::font(12.5))))->setMinimumWidth(220);
    sheet.add("field", new Field("SSH host", new FWTextField("host"), "user@host or an alias"));
    sheet.add("field, label on top", new Field("Extra options", new FWTextField("extra"), std::nullopt, true));
    sheet.add("preference row",
              new PrefRow("Launch at login", new WarpToggle(true), "Starts Flumewire when you log in."));
}

void segmented(Camera &camera)
{
    Sheet sheet(camera, "segmented");
    const QList<Segmented::Option> options = {{"auto", "Auto"}, {"light", "Light"}, {"dark", "Dark"}};
    sheet.add("selected", new Segmented(options, "light"));
    auto hovered = sheet.add("hover on Dark", new Segmented(options, "auto"));
    auto sliding = sheet.add("sliding to Dark", new Segmented(options, "auto"));
    sheet.add("full width", new Segmented(options, "dark", true))->setMinimumWidth(260);
    sheet.show();
    const QPointF over = hovered->optionRects()[2].center();
    QMouseEvent move(QEvent::MouseMove, over, hovered->mapToGlobal(over), Qt::NoButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(hovered, &move);
    hovered->hoverAnimator()->finish();
    sliding->setSelection("dark");
    sliding->thumbAnimator()->setCurrentTime(80);
}

} // namespace

void shootControls(Camera &camera)
{
    buttons(camera);
    textFields(camera);
    icons(camera);
    statusDots(camera);
    toggles(camera);
    formParts(camera);
    segmented(camera);
}

void shootBrand(Camera &camera)
{
    const bool dark = camera.dark();
    const QString v = dark ? "-dark" : "-light";
    const QColor bg = FWTheme(dark).winBg();
    const QColor ink = FWTheme(dark).text();
    camera.paint("brand-mark" + v, 150, 44, bg, [&](QPainter &p) {
        for (auto fill : {FlumeMark::Fill::Outline, FlumeMark::Fill::Body, FlumeMark::Fill::Full})
            FlumeMark::paint(p, {8.0 + 48 * int(fill), 8}, fill, 28, ink);
    });
    camera.paint("brand-scene" + v, 290, 140, bg, [&](QPainter &p) {
        FlumeScene::paint(p, 132, 0.55, dark);
        p.translate(150, 0);
        FlumeScene::paint(p, 132, 1.0, dark);
    });
    camera.paint("brand-sparkline" + v, 72, 26, bg, [&](QPainter &p) {
        p.translate(8, 4);
        Sparkline::paint(p, 56, 18, FWTheme(dark).stGreen, {42, 38, 45, 60, 41, 39, 52, 47});
    });
    // The app icon as drawn, in several sizes, and as the views show it for each build.
    camera.paint("app-icon-drawn" + v, 220, 140, bg, [&](QPainter &p) {
        for (QRectF r : {QRectF(8, 8, 128, 128), QRectF(150, 8, 32, 32), QRectF(190, 8, 16, 16)})
            DrawnAppIcon::paint(p, r, dark);
    });
    for (bool dev : {false, true}) {
        FWRoot root(new AppIconView(96, 22, dev), dark ? Appearance::Dark : Appearance::Light);
        root.show();
        camera.widget(&root, dev ? "app-icon-dev" : "app-icon", bg);
    }
}

void shootTrayIcons(Camera &camera)
{
    using F = FlumeMark::Fill;
    const QList<std::pair<F, int>> states{{F::Outline, 0}, {F::Body, 0}, {F::Full, 0}, {F::Full, 3}, {F::Full, 12}};
    const int w = 26 * int(states.size());
    for (auto [panel, background] :
         {std::pair{"light-panel", QColor(236, 236, 236)}, {"dark-panel", QColor(40, 40, 40)}}) {
        // Development builds draw red; production builds draw in the desktop scheme's ink with an opposite rim.
        camera.paint(QStringLiteral("tray-icon-dev-%1").arg(panel), w, 26, background, [&](QPainter &p) {
            for (qsizetype i = 0; i < states.size(); ++i)
                p.drawImage(QPointF(2 + 26 * i, 2),
                            menuBarImage(states[i].first, 18, true, Qt::black, {QColor(), states[i].second}).image);
        });
        for (bool darkDesktop : {false, true}) {
            const MenuBarExtras rim{darkDesktop ? QColor(0, 0, 0, 217) : QColor(255, 255, 255, 217), 0};
            const QColor ink = darkDesktop ? QColor(Qt::white) : QColor(Qt::black);
            camera.paint(QStringLiteral("tray-icon-%1-desktop-%2").arg(darkDesktop ? "dark" : "light", panel), w, 26,
                         background, [&](QPainter &p) {
                             for (qsizetype i = 0; i < states.size(); ++i) {
                                 MenuBarExtras extras = rim;
                                 extras.badge = states[i].second;
                                 p.drawImage(QPointF(2 + 26 * i, 2),
                                             menuBarImage(states[i].first, 18, false, ink, extras).image);
                             }
                         });
        }
    }
}
