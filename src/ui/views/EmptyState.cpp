#include "ui/views/EmptyState.h"

#include "ui/brand/FlumeScene.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QBoxLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

namespace {

const QString kLead = QStringLiteral("Lay your first one — forward a port, open a SOCKS proxy, or import from your ");
const QString kPath = QStringLiteral("~/.ssh/config");
constexpr qreal kMaxWidth = 230;

// The invitation: centred text in two fonts (the path is monospaced), wrapped to at most 230 wide with 3 extra
// between lines, in the secondary text colour of the theme in force.
class Invitation : public QWidget {
public:
    explicit Invitation(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        const QSizeF size = document(QColor(Qt::black))->size();
        setFixedSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const auto doc = document(FWTheme::of(this).text2());
        doc->drawContents(&painter);
    }

private:
    static std::unique_ptr<QTextDocument> document(const QColor &color)
    {
        auto doc = std::make_unique<QTextDocument>();
        doc->setDocumentMargin(0);
        doc->setDefaultFont(FWTheme::font(12.5));
        QTextCursor cursor(doc.get());
        QTextBlockFormat block;
        block.setAlignment(Qt::AlignHCenter);
        block.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        cursor.setBlockFormat(block);
        QTextCharFormat plain;
        plain.setFont(FWTheme::font(12.5));
        plain.setForeground(color);
        cursor.insertText(kLead, plain);
        QTextCharFormat mono = plain;
        mono.setFont(FWTheme::font(11.5, QFont::Normal, true));
        cursor.insertText(kPath, mono);
        doc->setTextWidth(kMaxWidth);
        return doc;
    }
};

} // namespace

QString EmptyState::invitation()
{
    return kLead + kPath;
}

EmptyState::EmptyState(std::function<void()> newTunnel, QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(24, 30, 24, 26);
    column->setSpacing(0);
    column->addWidget(new FlumeScene(120, this), 0, Qt::AlignHCenter);
    column->addSpacing(6);
    column->addWidget(new FWLabel(title(), FWTheme::font(15, QFont::DemiBold), FWTheme::Role::Text, this), 0,
                      Qt::AlignHCenter);
    column->addSpacing(5);
    column->addWidget(new Invitation(this), 0, Qt::AlignHCenter);
    column->addSpacing(16);
    m_button = new FWButton(QStringLiteral("New Tunnel"), FWButtonStyle::Kind::Primary, false, this);
    m_button->setIconName(QStringLiteral("plus"));
    connect(m_button, &QAbstractButton::clicked, this, [newTunnel = std::move(newTunnel)] {
        if (newTunnel)
            newTunnel();
    });
    column->addWidget(m_button, 0, Qt::AlignHCenter);
}
