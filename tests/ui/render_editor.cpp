// Draws the tunnel editor card in each state people should look at, light and dark, into PNG files:
// render_editor [folder] (default: the build's test-output folder). Not a test: it asserts nothing.
#include "app/CardWindow.h"
#include "engine/EngineHarness.h"
#include "support/Shots.h"
#include "support/TempHome.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Segmented.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/EditorSheet.h"
#include "ui/views/TestConnectionButton.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

struct Card {
    EngineHarness h{{}, {{"g1", "Work", 0}}, false};
    std::function<void(bool, const QString &)> pendingTest;
    CardWindow window{EditorSheet::cardWidth, true};
    EditorSheet *sheet = nullptr;

    Card(bool dark, TunnelType type)
    {
        TunnelForm form;
        form.type = type;
        form.host = QStringLiteral("db.example.net");
        form.targetPort = QStringLiteral("5432");
        form.bindPort = type == TunnelType::Socks ? QStringLiteral("1080") : QString();
        form.groupId = QStringLiteral("g1");
        sheet = new EditorSheet(
            *h.state, {}, h.clock,
            [this](const Tunnel &, std::function<void(bool, const QString &)> done) { pendingTest = done; }, form,
            std::nullopt);
        auto root = new FWRoot(sheet, dark ? Appearance::Dark : Appearance::Light);
        window.setContent(root);
        window.show();
        QCoreApplication::processEvents();
    }

    void save(const QString &folder, const QString &name)
    {
        QCoreApplication::processEvents();
        // The card as the window system composes it, over a mid grey desktop.
        const QImage card = window.grab().toImage();
        QImage image(card.size(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(card.devicePixelRatio());
        image.fill(QColor(128, 128, 128));
        QPainter(&image).drawImage(0, 0, card);
        image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }

    QScrollBar *scrollBar() const { return sheet->findChild<QScrollArea *>()->verticalScrollBar(); }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(OUTPUT_DIR);
    QDir().mkpath(folder);
    TempHome home;
    for (bool dark : {false, true}) {
        const QString v = Shots::theme(dark);
        for (auto [type, name] :
             {std::pair{TunnelType::Local, "local"}, {TunnelType::Remote, "remote"}, {TunnelType::Socks, "socks"}}) {
            Card card(dark, type);
            card.save(folder, QStringLiteral("editor-%1-%2").arg(name, v));
            card.sheet->advanced()->setOpen(true);
            card.sheet->advanced()->turnAnimator()->finish();
            QCoreApplication::processEvents();
            // The open section, in three steps down the scrolling area.
            QScrollBar *bar = card.scrollBar();
            for (int step = 0; step < 3; ++step) {
                bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) * (step + 1) / 3);
                card.save(folder, QStringLiteral("editor-%1-advanced-%2-%3").arg(name).arg(step + 1).arg(v));
            }
        }
        Card empty(dark, TunnelType::Local);
        QTest::mouseClick(empty.sheet->typeSelector(), Qt::LeftButton);
        empty.sheet->shownField(QStringLiteral("SSH server host"))->clear();
        emit empty.sheet->shownField(QStringLiteral("SSH server host"))->textEdited(QString());
        empty.sheet->typeSelector()->thumbAnimator()->finish();
        empty.sheet->shownField(QStringLiteral("Name"))->setFocus(Qt::TabFocusReason);
        empty.sheet->shownField(QStringLiteral("Name"))->focusAnimator()->finish();
        empty.save(folder, QStringLiteral("editor-empty-focused-%1").arg(v));

        Card tested(dark, TunnelType::Local);
        QTest::mouseClick(tested.sheet->testButton(), Qt::LeftButton);
        tested.save(folder, QStringLiteral("editor-testing-%1").arg(v));
        tested.pendingTest(true, QStringLiteral("Connected"));
        tested.save(folder, QStringLiteral("editor-test-ok-%1").arg(v));
        QTest::mouseClick(tested.sheet->testButton(), Qt::LeftButton);
        tested.pendingTest(false, QStringLiteral("Permission denied"));
        tested.save(folder, QStringLiteral("editor-test-failed-%1").arg(v));
    }
    return 0;
}
