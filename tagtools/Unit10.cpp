#include "Unit10.h"

#include "ButtonRow.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Input.h"
#include "RichEdit.h"
#include "Unit1.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <stdexcept>

TForm10* Form10 = nullptr;

TForm10::TForm10()
{
    setCaption(QStringLiteral("Liste de MP3"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Memo1, 1);
    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Enregistrer"), QStringLiteral("Annuler")});
    Button1 = row[0];
    Button2 = row[1];
    resize(560, 460);
    setStayOnTop(true);
    centreOnScreen();

    OnHide = [this] { FormHide(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm10::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm10::Button2Click);
}

void TForm10::setMemoText(const std::string& text)
{
    shown_ = text;
    Memo1->setPlainText(platform::toDisplay(text));
    Memo1->document()->setModified(false);
}

std::string TForm10::memoText() const
{
    // A file name that is not valid in the local encoding keeps its bytes unless the user edited.
    if (!Memo1->document()->isModified()) return shown_;
    // Every character as edited: toPlainText() would make blanks of the no-break spaces.
    const std::string lines = platform::fromDisplay(ui::exactPlainText(Memo1->document()));
    std::string text;
    text.reserve(lines.size() + lines.size() / 16);
    for (const char c : lines) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

void TForm10::FormHide() { Form1->Show(); }

void TForm10::Button1Click()
{
    // An existing file is replaced without a question, as the list's users expect.
    const QString chosen = ui::Dialogs::SaveFileName(this, QString::fromLatin1(SaveDialog1DefaultExt),
                                                     QString::fromLatin1(SaveDialog1Filter), QString(),
                                                     ui::ExistingFile::ReplaceWithoutAsking);
    if (chosen.isEmpty()) return;
    const std::string name = platform::fromDisplay(chosen);
    // Written aside and renamed: an earlier list under that name is never left half written.
    if (const int error = platform::writeFileAside(name, memoText(), platform::AtLink::WriteTarget))
        throw std::runtime_error(platform::fileFailureText(platform::FileAction::Write, name, error));
    ui::Dialogs::MessageBox(this, QStringLiteral("Enregistrement effectué"), QStringLiteral("Sonoverne"), ui::MB_OK);
    Form1->Show();
    Hide();
}

void TForm10::Button2Click()
{
    Memo1->clear();
    shown_.clear();
    Form1->Show();
    Hide();
}
