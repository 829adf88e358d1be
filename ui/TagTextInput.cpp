#include "TagTextInput.h"

#include "tagtext.h"

namespace ui {

bool filterTagText(QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF) return false;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));  // a pasted line end is one blank
    for (QChar& c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) c = QLatin1Char(' ');
    return true;
}

QValidator::State TagTextValidator::validate(QString& input, int&) const
{
    return filterTagText(input) ? Acceptable : Invalid;
}

TagEdit::TagEdit(QWidget* parent, int maxLength) : QLineEdit(parent)
{
    setValidator(new TagTextValidator(this));
    if (maxLength > 0) setMaxLength(maxLength);
}

std::string TagEdit::Text() const
{
    const QByteArray bytes = text().toLatin1();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void TagEdit::setText(const std::string& latin1)
{
    const std::string_view cut = tagText(latin1);
    QString shown = QString::fromLatin1(cut.data(), qsizetype(cut.size()));
    filterTagText(shown);  // ISO-8859-1 bytes always pass
    QLineEdit::setText(shown);
}

}  // namespace ui
