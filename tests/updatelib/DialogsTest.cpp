// The message dialog, the wait window, the wizard's header band, the link label and hints.
#include "HintShadow.h"
#include "LinkLabel.h"
#include "QtTestApp.h"
#include "VYXWizard.h"
#include "VyxMessageUnit.h"
#include "VyxPravomel.h"
#include "VyxShell.h"
#include "WaitUnit.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

using vyx::TBeep;
using vyx::TVyxMessage;

namespace {

std::vector<std::string> detailsCalls;
void RecordDetails(const char* text) { detailsCalls.emplace_back(text); }

class MessageDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        VyxInitVyxMsgInfoIn(&request);
        request.Title = "Titre & co";
        vyx::SetBeepHook([this](TBeep b) { beeps.push_back(b); });
        vyx::SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        detailsCalls.clear();
    }
    void TearDown() override
    {
        vyx::SetBeepHook({});
        vyx::SetUrlOpener({});
    }
    // Runs the exported dialog, acting on it once it shows.
    TVyxMsgInfoOut Run(const std::function<void(TVyxMessage*)>& act)
    {
        TVyxMsgInfoOut out{-1, 9};
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<TVyxMessage*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(dialog);
        });
        VyxMessageDlg(&out, 0, request);
        return out;
    }

    TVyxMsgInfoIn request{};
    std::vector<TBeep> beeps;
    std::vector<QUrl> opened;
};

TEST_F(MessageDialog, DefaultsGiveAnInformationWithTwoButtonsAndAGreyDetails)
{
    EXPECT_EQ(request.Kind, 2);
    EXPECT_STREQ(request.ContinueCaption, "&Continuer");
    EXPECT_STREQ(request.CancelCaption, "&Annuler");
    EXPECT_STREQ(request.DetailsCaption, "&Détails");
    EXPECT_EQ(request.NeverPromptCaption, nullptr);
    EXPECT_EQ(request.OnDetails, nullptr);

    TVyxMessage dialog(nullptr);
    dialog.Prepare(request);
    EXPECT_EQ(beeps, std::vector<TBeep>{TBeep::Asterisk});
    EXPECT_EQ(dialog.windowTitle(), "Information");
    EXPECT_FALSE(dialog.Icone->pixmap().isNull());
    EXPECT_EQ(dialog.Title->text(), "Titre & co");
    EXPECT_FALSE(dialog.Continue->isHidden());
    EXPECT_FALSE(dialog.Cancel->isHidden());
    EXPECT_FALSE(dialog.Details->isHidden());
    EXPECT_FALSE(dialog.Details->isEnabled());
    EXPECT_TRUE(dialog.NeverPromptAgain->isHidden());
    // Without the check box the buttons move up and the window shrinks by as much.
    for (QPushButton* b : {dialog.Continue, dialog.Cancel, dialog.Details}) EXPECT_EQ(b->y(), 179);
    EXPECT_EQ(dialog.size(), QSize(409, 213));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((dialog.geometry().center() - centre).manhattanLength(), 2);
}

TEST_F(MessageDialog, KindsGiveTheirCaptionsAndSounds)
{
    const std::pair<uint8_t, const char*> kinds[] = {
        {0, "Avertissement"}, {1, "Erreur"}, {2, "Information"}, {3, "Confirmation"}};
    for (const auto& [kind, caption] : kinds) {
        request.Kind = kind;
        TVyxMessage dialog(nullptr);
        dialog.Prepare(request);
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(caption));
    }
    EXPECT_EQ(beeps, (std::vector<TBeep>{TBeep::Exclamation, TBeep::Hand, TBeep::Asterisk, TBeep::Question}));

    beeps.clear();
    QApplication::setApplicationDisplayName("Appli appelante");
    request.Kind = 7;
    TVyxMessage custom(nullptr);
    custom.Prepare(request);
    EXPECT_EQ(custom.windowTitle(), "Appli appelante");
    EXPECT_TRUE(custom.Icone->pixmap().isNull());
    request.Caption = "Ma légende";
    QIcon icon(QPixmap(16, 16));
    request.Icon = reinterpret_cast<uintptr_t>(&icon);
    TVyxMessage captioned(nullptr);
    captioned.Prepare(request);
    EXPECT_EQ(captioned.windowTitle(), "Ma légende");
    EXPECT_FALSE(captioned.Icone->pixmap().isNull());
    EXPECT_TRUE(beeps.empty());
}

TEST_F(MessageDialog, CtrlCCopiesTheReport)
{
    request.Description = "Ligne 1\r\nLigne 2\nLigne <b>3</b> & <BR>fin";
    TVyxMessage dialog(nullptr);
    dialog.Prepare(request);
    dialog.show();
    EXPECT_EQ(dialog.Description->caption(), "Ligne 1<br>Ligne 2<br>Ligne <b>3</b> & <BR>fin");
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "---------------------------\r\nInformation : Titre  co\r\n---------------------------\r\n"
              "Ligne 1\r\nLigne 2\r\nLigne <b>3</b>  \r\nfin\r\n---------------------------\r\n"
              "Continuer   Annuler   \r\n---------------------------\r\n");

    // Details enabled adds its caption; with no button at all the ampersands stay.
    request.OnDetails = RecordDetails;
    TVyxMessage withDetails(nullptr);
    withDetails.Prepare(request);
    EXPECT_TRUE(withDetails.ClipboardReport().contains("\r\nContinuer   Annuler   Détails\r\n"));
    request.ContinueCaption = request.CancelCaption = request.DetailsCaption = nullptr;
    TVyxMessage bare(nullptr);
    bare.Prepare(request);
    EXPECT_EQ(bare.ClipboardReport(),
              "---------------------------\r\nInformation : Titre & co\r\n---------------------------\r\n"
              "Ligne 1\r\nLigne 2\r\nLigne <b>3</b> & \r\nfin\r\n---------------------------\r\n"
              "\r\n---------------------------\r\n");
}

TEST_F(MessageDialog, ButtonsKeysAndTheCloseBoxAnswer)
{
    EXPECT_EQ(Run([](TVyxMessage* d) { d->Continue->click(); }).ModalResult, 1);
    EXPECT_EQ(Run([](TVyxMessage* d) { d->Cancel->click(); }).ModalResult, 2);
    EXPECT_EQ(Run([](TVyxMessage* d) { d->close(); }).ModalResult, 2);
    EXPECT_EQ(Run([](TVyxMessage* d) { QTest::keyClick(d, Qt::Key_Return); }).ModalResult, 1);
    EXPECT_EQ(Run([](TVyxMessage* d) { QTest::keyClick(d, Qt::Key_Escape); }).ModalResult, 2);
    // Without a Cancel button Escape does nothing.
    request.CancelCaption = nullptr;
    EXPECT_EQ(Run([](TVyxMessage* d) {
                  QTest::keyClick(d, Qt::Key_Escape);
                  EXPECT_TRUE(d->isVisible());
                  d->Continue->click();
              }).ModalResult,
              1);
}

TEST_F(MessageDialog, TheCheckBoxIsShownFocusedAndReported)
{
    request.NeverPromptCaption = "Ne plus me le dire";
    const TVyxMsgInfoOut out = Run([](TVyxMessage* d) {
        EXPECT_FALSE(d->NeverPromptAgain->isHidden());
        EXPECT_EQ(d->NeverPromptAgain->text(), "Ne plus me le dire");
        EXPECT_EQ(d->focusWidget(), d->NeverPromptAgain);
        EXPECT_EQ(d->Continue->y(), 203);
        EXPECT_EQ(d->size(), QSize(409, 237));
        d->NeverPromptAgain->click();
        d->Cancel->click();
    });
    EXPECT_EQ(out.ModalResult, 2);
    EXPECT_EQ(out.NeverPromptAgainChecked, 1);
    EXPECT_EQ(Run([](TVyxMessage* d) { d->Continue->click(); }).NeverPromptAgainChecked, 0);
}

TEST_F(MessageDialog, DetailsCallsBackWithCAndStaysOpen)
{
    request.OnDetails = RecordDetails;
    const TVyxMsgInfoOut out = Run([](TVyxMessage* d) {
        EXPECT_TRUE(d->Details->isEnabled());
        d->Details->click();
        d->Details->click();
        EXPECT_TRUE(d->isVisible());
        d->Continue->click();
    });
    EXPECT_EQ(out.ModalResult, 1);
    EXPECT_EQ(detailsCalls, (std::vector<std::string>{"c", "c"}));
}

TEST_F(MessageDialog, LinksOpenTheSupportPageOrTheirOwnText)
{
    request.Description = "Voir <link>Support Technique</link> ou <link>https://example.org/faq</link>.";
    TVyxMessage dialog(nullptr);
    dialog.Prepare(request);
    emit dialog.Description->linkActivated("0");
    emit dialog.Description->linkActivated("1");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(QString::fromUtf8(vyx::kSupportPage)));
    EXPECT_EQ(opened[1], QUrl("https://example.org/faq"));
}

// The window is as wide as its text and 60 pixels, up to the screen's width: a longer text is cut
// with an ellipsis.
TEST(WaitWindow, ShowsTheTextWidenedBy60AndCentredWithinTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QString shortText = QStringLiteral("Recherche des fichiers en cours, veuillez patienter...");
    // Zero-width spaces first: the first thousand characters measure nothing.
    const QString late = QString(1500, QChar(0x200B)) + QString(2000, u'w');
    for (const QString& text : {shortText, shortText.repeated(2000), QString(1000000, u'w'), late}) {
        SCOPED_TRACE(text.size());
        ShowWaitMessage(0, text.toUtf8().constData());
        vyx::TWaitForm* form = vyx::WaitForm();
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
        const QFontMetrics metrics(form->font());
        const QString shown = form->InfoPanel->text();
        if (text == shortText) {
            EXPECT_EQ(shown, text);
            EXPECT_EQ(form->width(), metrics.horizontalAdvance(text) + 60);
            EXPECT_GT(form->width(), 206);
        } else {
            EXPECT_EQ(form->width(), screen.width());
            EXPECT_TRUE(shown.endsWith(u'…')) << shown.right(20).toStdString();
            EXPECT_TRUE(text.startsWith(shown.chopped(1)));
            EXPECT_GT(shown.size(), 10);
            EXPECT_LE(metrics.horizontalAdvance(shown) + 60, screen.width());
        }
        EXPECT_EQ(form->height(), 48);
        EXPECT_LE(std::abs(form->geometry().center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(form->geometry().center().y() - screen.center().y()), 1);
        CloseWaitMessage();
        EXPECT_EQ(vyx::WaitForm(), nullptr);
    }
    CloseWaitMessage();  // none shown: nothing happens
}

TEST(WaitWindow, ASecondShowReplacesTheFirstWindow)
{
    ShowWaitMessage(0, "un");
    QPointer<vyx::TWaitForm> first = vyx::WaitForm();
    ShowWaitMessage(0, "deux");
    EXPECT_TRUE(first.isNull());
    CloseWaitMessage();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(qobject_cast<vyx::TWaitForm*>(w) && w->isVisible());
}

TEST(HeaderBand, GradientBandsRunFromStartToEnd)
{
    vyx::TVyxWizard band;
    band.SetGradientStart(QColor(0x33, 0x66, 0xCC));
    QImage image(126, 5, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        band.DrawGradient(p, image.rect());
    }
    // 63 bands of 2 pixels, from exactly the start colour to exactly white.
    for (int band_i = 0; band_i < 63; ++band_i) {
        EXPECT_EQ(image.pixel(2 * band_i, 2), image.pixel(2 * band_i + 1, 2)) << band_i;
        if (band_i > 0) { EXPECT_NE(image.pixel(2 * band_i, 2), image.pixel(2 * band_i - 1, 2)) << band_i; }
    }
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(0x33, 0x66, 0xCC));
    EXPECT_EQ(QColor(image.pixel(125, 4)), QColor(Qt::white));
    // Band 31 of 62 steps is halfway: 0x33 + round(31 * 0xCC / 62) = 0x99.
    EXPECT_EQ(QColor(image.pixel(62, 0)).red(), 0x99);

    // A width that is not a multiple of 63: every column is painted, bands differ by at most one pixel.
    QImage odd(100, 1, QImage::Format_RGB32);
    odd.fill(Qt::black);
    {
        QPainter p(&odd);
        band.DrawGradient(p, odd.rect());
    }
    for (int x = 0; x < 100; ++x) EXPECT_NE(QColor(odd.pixel(x, 0)), QColor(Qt::black)) << x;
}

TEST(HeaderBand, PaintsWhiteWithAnEtchedFrameAndTheStripAtTheBottom)
{
    vyx::TVyxWizard band;
    band.resize(126, 65);
    EXPECT_FALSE(band.Gradient());
    EXPECT_EQ(band.GraduientHeight(), 5);
    EXPECT_EQ(band.GradientEnd(), QColor(Qt::white));
    band.SetGradient(true);
    QImage shot = band.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(60, 30)), QColor(Qt::white));
    // Inside the strip, third band (the first two lie under the frame): 0x33 + round(2 * 0xCC / 62).
    EXPECT_EQ(QColor(shot.pixel(4, 61)), QColor(0x3A, 0x6B, 0xCE));
    EXPECT_EQ(QColor(shot.pixel(4, 59)), QColor(Qt::white));  // just above it
    EXPECT_EQ(shot.pixel(0, 30), band.palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(shot.pixel(1, 30), band.palette().color(QPalette::Light).rgb());
    EXPECT_EQ(shot.pixel(125, 30), band.palette().color(QPalette::Light).rgb());
    EXPECT_EQ(shot.pixel(124, 30), band.palette().color(QPalette::Dark).rgb());

    band.SetGraduientHeight(0);
    shot = band.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(4, 61)), QColor(Qt::white));
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST(HeaderBand, SettingTheCurrentValueDoesNotRepaint)
{
    vyx::TVyxWizard band;
    band.resize(126, 65);
    band.show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    band.installEventFilter(&counter);
    band.SetGradient(false);
    band.SetGradientStart(band.GradientStart());
    band.SetGradientEnd(band.GradientEnd());
    band.SetGraduientHeight(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    band.SetGraduientHeight(6);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
}

TEST(MulDiv, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(vyx::MulDiv(1, 1, 2), 1);
    EXPECT_EQ(vyx::MulDiv(-1, 1, 2), -1);
    EXPECT_EQ(vyx::MulDiv(1, 1, 3), 0);
    EXPECT_EQ(vyx::MulDiv(2, 1, 3), 1);
    EXPECT_EQ(vyx::MulDiv(62, 255, 62), 255);
    EXPECT_EQ(vyx::MulDiv(2000000000, 2, 4), 1000000000);
}

TEST(LinkLabel, RendersTheMarkupAndAsksForEachDynamicTag)
{
    vyx::TLinkLabel label;
    std::vector<int> asked;
    label.OnDynamicTagInit = [&](QObject* sender, QString& text, int n) {
        EXPECT_EQ(sender, &label);
        asked.push_back(n);
        text = n == 1 ? QStringLiteral("<link>http://site</link>") : QStringLiteral("[%1]").arg(n);
    };
    label.setCaption("<B>Gras</b><BR>a < b & c <i>x</i> <dynamic>-<DYNAMIC>-<dynamic><link>ici</link>");
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(label.plainText(), "Gras\na < b & c <i>x</i> [0]-http://site-[2]ici");
    EXPECT_EQ(label.links(), (QStringList{"http://site", "ici"}));
    EXPECT_TRUE(label.text().contains("<b>Gras</b>"));
    EXPECT_TRUE(label.text().contains("&lt;i&gt;"));

    std::vector<std::pair<int, QString>> clicks;
    label.OnLinkClick = [&](QObject*, int n, const QString& text) { clicks.emplace_back(n, text); };
    emit label.linkActivated("1");
    emit label.linkActivated("7");
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], std::make_pair(1, QString("ici")));
    // Rendering again asks again, from 0.
    asked.clear();
    label.setCaption(label.caption());
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));

    // A click on a link's text activates it; one beside it does nothing.
    clicks.clear();
    label.OnDynamicTagInit = {};
    label.setCaption("<link>ici</link> et là");
    label.resize(300, 40);
    label.show();
    QCoreApplication::processEvents();
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(3, 5));
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(290, 5));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], std::make_pair(0, QString("ici")));
}

// The label paints itself rather than leave it to QLabel, which laid long texts out too often:
// for the same rich text, in the message dialog's scroll box, it must show what a word-wrapped
// QLabel showed, pixel for pixel, with the same label size and the same links.
TEST(LinkLabel, ShowsWhatAWordWrappedQLabelShows)
{
    const QString lorem = QStringLiteral("Le fichier n'a pas pu être lu, vérifiez le disque. ").repeated(12);
    // A line that fits the box beside its bar only when the bar is not there.
    const QFontMetrics metrics(vyx::FormFont(QApplication::font(), "MS Sans Serif", 11));
    QString wide = QStringLiteral("a");
    while (metrics.horizontalAdvance(wide + QStringLiteral(" a")) <= 374) wide += QStringLiteral(" a");
    const QString markups[] = {
        "",
        "<B>Gras</b><BR>a < b & c <i>x</i> &amp; é à ç",
        "<link>ouvert sans fin",
        "<link>a<link>b</link>c</link> </link></b> <b><b>double</b>",
        "texte<br><br><br>",
        "  espaces   multiples\tet tabulation  ",
        "<b>" + lorem + "</b>fin",
        "Voir <link>Support Technique</link>, puis <link>http://127.0.0.1/page</link>.<br>" + lorem.repeated(3),
        "mot " + QString(150, u'y') + " et la suite du texte qui passe à la ligne",
        QString(400, u'x'),
        wide,
        // Longer than what the label lays out alone to learn whether it needs the bar: that
        // beginning is too high, or it fits and the rest does not.
        lorem.repeated(30),
        QString(17000, u'x') + "<br>" + lorem.repeated(3),
    };
    for (const QString& markup : markups) {
        SCOPED_TRACE(markup.left(60).toStdString());
        auto place = [](QWidget& host) {
            host.setFixedSize(409, 237);
            host.setFont(vyx::FormFont(host.font(), "MS Sans Serif", 11));
            auto* box = new QScrollArea(&host);
            return box;
        };
        QWidget host, peerHost;
        vyx::TLinkLabel* label = vyx::PlaceInScrollBox(place(host), QRect(16, 48, 377, 93), "Description");
        label->setCaption(markup);

        // The label as it was: QLabel given the same rich text.
        QScrollArea* peerBox = place(peerHost);
        peerBox->setGeometry(16, 48, 377, 93);
        peerBox->setFrameShape(QFrame::NoFrame);
        peerBox->setWidgetResizable(true);
        peerBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* content = new QWidget;
        auto* column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        auto* peer = new QLabel(content);
        peer->setTextFormat(Qt::RichText);
        peer->setWordWrap(true);
        peer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        peer->setMargin(0);
        peer->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        column->addWidget(peer);
        column->addStretch(1);
        peerBox->setWidget(content);
        QStringList peerLinks;
        peer->setText(vyx::MarkupToHtml(markup, &peerLinks));

        host.show();
        peerHost.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(label->text(), peer->text());
        EXPECT_EQ(label->links(), peerLinks);
        EXPECT_EQ(label->geometry(), peer->geometry());
        auto* box = label->parentWidget()->parentWidget()->parentWidget();
        EXPECT_TRUE(box->grab().toImage() == peerBox->grab().toImage());
        QTextDocument document;
        document.setHtml(peer->text());
        EXPECT_EQ(label->plainText(), document.toPlainText());
    }
}

TEST(Hints, AreShownInATooltipWindow)
{
    QWidget control;
    control.resize(50, 20);
    control.show();
    vyx::TShadowedHintWindow::ActivateHint(&control, control.mapToGlobal(QPoint(5, 5)), "Astuce");
    QWidget* hint = vyx::TShadowedHintWindow::Current();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->windowType(), Qt::ToolTip);
    vyx::TShadowedHintWindow::ActivateHint(&control, QPoint(), QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(vyx::TShadowedHintWindow::Current(), nullptr);
}

}  // namespace
