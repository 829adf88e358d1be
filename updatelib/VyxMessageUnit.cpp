#include "VyxMessageUnit.h"

#include "VyxShell.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <cstddef>

static_assert(offsetof(TVyxMsgInfoIn, Title) == 8 && offsetof(TVyxMsgInfoIn, OnDetails) == 64 &&
                  offsetof(TVyxMsgInfoIn, Icon) == 72 && offsetof(TVyxMsgInfoIn, Caption) == 80,
              "request record layout");
static_assert(offsetof(TVyxMsgInfoOut, NeverPromptAgainChecked) == 4, "answer record layout");

namespace vyx {

#ifndef VYX_SUPPORT_URL
#define VYX_SUPPORT_URL "https://www.sonoverne.org/support"
#endif
const char* const kSupportPage = VYX_SUPPORT_URL;

namespace {

// The default captions live as long as the library; requests only point to them.
const char kContinueCaption[] = "&Continuer";
const char kCancelCaption[] = "&Annuler";
const char kDetailsCaption[] = "&Détails";

QString Text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

}  // namespace

TVyxMessage::TVyxMessage(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("VYXMessage"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont f = FormFont(font(), "MS Sans Serif", 11);
    setFont(f);
    setFixedSize(409, 237);

    Icone = new QLabel(this);
    Icone->setObjectName(QStringLiteral("Icone"));
    Icone->setGeometry(16, 12, 33, 33);

    Title = new QLabel(this);
    Title->setObjectName(QStringLiteral("Title"));
    Title->setGeometry(64, 12, 329, 29);
    Title->setTextFormat(Qt::PlainText);
    Title->setWordWrap(true);
    Title->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bold = Title->font();
    bold.setBold(true);
    Title->setFont(bold);

    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    Description = PlaceInScrollBox(ScrollBox, QRect(16, 48, 377, 93), QStringLiteral("Description"));
    Description->OnLinkClick = [this](QObject* sender, int n, const QString& text) {
        Guarded(this, [&] { DescriptionLinkClick(sender, n, text); });
    };

    HrzLine = new QFrame(this);
    HrzLine->setObjectName(QStringLiteral("HrzLine"));
    HrzLine->setGeometry(16, 148, 377, 3);
    HrzLine->setAutoFillBackground(true);
    QPalette black = HrzLine->palette();
    black.setColor(QPalette::Window, Qt::black);
    HrzLine->setPalette(black);

    ActionToExecute = new QLabel(this);
    ActionToExecute->setObjectName(QStringLiteral("ActionToExecute"));
    ActionToExecute->setGeometry(16, 158, 377, 13);

    NeverPromptAgain = new QCheckBox(QStringLiteral("&Ne plus afficher ce message"), this);
    NeverPromptAgain->setObjectName(QStringLiteral("NeverPromptAgain"));
    NeverPromptAgain->setGeometry(16, 177, 209, 17);

    Continue = PlaceButton(this, "Continue", kContinueCaption, QRect(16, 203, 115, 22));
    Continue->setDefault(true);
    Cancel = PlaceButton(this, "Cancel", kCancelCaption, QRect(148, 203, 115, 22));
    Details = PlaceButton(this, "Details", kDetailsCaption, QRect(280, 203, 115, 22));
    ActionToExecute->setBuddy(Continue);
    connect(Continue, &QPushButton::clicked, this, [this] { done(1); });
    connect(Cancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(Details, &QPushButton::clicked, this, [this] { Guarded(this, [this] { DetailsClick(Details); }); });

    setTabOrder(ScrollBox, NeverPromptAgain);
    setTabOrder(NeverPromptAgain, Continue);
    setTabOrder(Continue, Cancel);
    setTabOrder(Cancel, Details);
    ScrollBox->setFocus();

    // The form sees keys before its controls.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TVyxMessage::Prepare(const TVyxMsgInfoIn& request)
{
    struct KindLook {
        QStyle::StandardPixmap icon;
        const char* caption;
        TBeep beep;
    };
    static const KindLook kLooks[] = {
        {QStyle::SP_MessageBoxWarning, "Avertissement", TBeep::Exclamation},
        {QStyle::SP_MessageBoxCritical, "Erreur", TBeep::Hand},
        {QStyle::SP_MessageBoxInformation, "Information", TBeep::Asterisk},
        {QStyle::SP_MessageBoxQuestion, "Confirmation", TBeep::Question},
    };
    if (request.Kind < std::size(kLooks)) {
        const KindLook& look = kLooks[request.Kind];
        Icone->setPixmap(style()->standardIcon(look.icon, nullptr, this).pixmap(32, 32));
        setWindowTitle(QString::fromUtf8(look.caption));
        MessageBeep(look.beep);
    } else {
        if (request.Icon) Icone->setPixmap(reinterpret_cast<const QIcon*>(request.Icon)->pixmap(32, 32));
        setWindowTitle(request.Caption ? Text(request.Caption) : ApplicationTitle());
    }
    Title->setText(Text(request.Title));
    QString description = Text(request.Description);
    description.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    description.replace(QStringLiteral("\n"), QStringLiteral("<br>"));
    Description->setCaption(description);
    ActionToExecute->setText(Text(request.ActionText));

    auto caption = [](QAbstractButton* b, const char* text) {
        b->setText(Text(text));
        b->setVisible(text != nullptr);
    };
    caption(Continue, request.ContinueCaption);
    caption(Cancel, request.CancelCaption);
    caption(Details, request.DetailsCaption);
    Details->setEnabled(request.OnDetails != nullptr);
    caption(NeverPromptAgain, request.NeverPromptCaption);
    onDetails_ = request.OnDetails;

    if (request.NeverPromptCaption == nullptr) {
        for (QPushButton* b : {Continue, Cancel, Details}) b->move(b->x(), 179);
        setFixedSize(width(), 213);
    } else {
        NeverPromptAgain->setFocus();
    }
    if (QScreen* s = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(s->geometry().center());
        move(frame.topLeft());
    }
}

void TVyxMessage::FormKeyDown(QObject*, int key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_C && (shift & Qt::ControlModifier)) QGuiApplication::clipboard()->setText(ClipboardReport());
}

QString TVyxMessage::ClipboardReport() const
{
    QString report = QStringLiteral("---------------------------\r\n") + windowTitle() + QStringLiteral(" : ") +
                     Title->text() + QStringLiteral("\r\n---------------------------\r\n") + Description->caption() +
                     QStringLiteral("\r\n---------------------------\r\n");
    auto shown = [](const QPushButton* b) { return !b->isHidden() && b->isEnabled(); };
    for (const QPushButton* b : {Continue, Cancel}) {
        if (!shown(b)) continue;
        report += b->text() + QStringLiteral("   ");
        report.remove(u'&');
    }
    if (shown(Details)) {
        report += Details->text();
        report.remove(u'&');
    }
    report += QStringLiteral("\r\n---------------------------\r\n");
    report.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"), Qt::CaseInsensitive);
    return report;
}

void TVyxMessage::DetailsClick(QObject*)
{
    if (onDetails_) onDetails_("c");
}

void TVyxMessage::DescriptionLinkClick(QObject*, int, const QString& linkText)
{
    if (linkText.toLower() == u"support technique") OpenUrl(QUrl(QString::fromUtf8(kSupportPage)));
    else OpenUrl(QUrl::fromUserInput(linkText));
}

bool TVyxMessage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        Guarded(this, [&] { FormKeyDown(watched, key->key(), key->modifiers()); });
        if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TVyxMessage::keyPressEvent(QKeyEvent* event)
{
    FormKeyDown(this, event->key(), event->modifiers());
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape answers only through a shown Cancel button.
        if (!Cancel->isHidden() && Cancel->isEnabled()) Cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace vyx

using namespace vyx;

extern "C" void VyxInitVyxMsgInfoIn(TVyxMsgInfoIn* MsgIn)
{
    if (!MsgIn) return;
    // Field by field: the bytes after Kind are the caller's.
    MsgIn->Kind = 2;
    MsgIn->Title = nullptr;
    MsgIn->Description = nullptr;
    MsgIn->ActionText = nullptr;
    MsgIn->NeverPromptCaption = nullptr;
    MsgIn->ContinueCaption = kContinueCaption;
    MsgIn->CancelCaption = kCancelCaption;
    MsgIn->DetailsCaption = kDetailsCaption;
    MsgIn->OnDetails = nullptr;
    MsgIn->Icon = 0;
    MsgIn->Caption = nullptr;
}

extern "C" void VyxMessageDlg(TVyxMsgInfoOut* MsgOut, uintptr_t AppHandle, TVyxMsgInfoIn MsgIn)
{
    try {
        // The whole answer is written, also when no dialog can be shown.
        if (MsgOut) {
            MsgOut->ModalResult = 0;
            MsgOut->NeverPromptAgainChecked = 0;
        }
        if (!GuiAvailable()) return;
        SetApplicationWindow(AppHandle);
        TVyxMessage dialog(ApplicationWindow());
        dialog.Prepare(MsgIn);
        const int result = dialog.exec();
        if (MsgOut) {
            MsgOut->ModalResult = result == 1 ? 1 : 2;
            MsgOut->NeverPromptAgainChecked = dialog.NeverPromptAgain->isChecked() ? 1 : 0;
        }
    } catch (...) {
    }
}
