#include "TagTextInput.h"

#include "tagtext.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace ui {

QStringList charactersBeyondLatin1(const QString& text)
{
    QStringList beyond;
    for (const uint c : text.toUcs4()) {
        const char32_t character = c;
        const QString one = QString::fromUcs4(&character, 1);
        if (c > 0xFF && !beyond.contains(one)) beyond << one;
    }
    return beyond;
}

void tellRefused(QWidget* field, const QString& input)
{
    QApplication::beep();
    if (!field) return;
    QWidget* window = field->window();
    auto* note = window->findChild<QLabel*>(QLatin1String(RefusalNoticeName), Qt::FindDirectChildrenOnly);
    if (!note) {
        note = new QLabel(window);
        note->setObjectName(QLatin1String(RefusalNoticeName));
        note->setWordWrap(true);
        note->setFrameShape(QFrame::Box);
        note->setMargin(4);
        note->setForegroundRole(QPalette::ToolTipText);
        note->setBackgroundRole(QPalette::ToolTipBase);
        note->setAutoFillBackground(true);
        note->setAttribute(Qt::WA_TransparentForMouseEvents);  // the fields below it still take clicks
        auto* timer = new QTimer(note);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, note, &QWidget::hide);
    }
    note->setText(QStringLiteral("Refusé : « %1 ». Ce champ ne prend que les caractères qu'un tag peut contenir "
                                 "(alphabet latin ISO-8859-1) ; rien n'a été ajouté.")
                      .arg(charactersBeyondLatin1(input).join(QStringLiteral(" », « "))));
    // Below the field, as wide as it is or enough to read, inside the window.
    const int width = std::min(window->width() - 8, std::max(field->width(), 320));
    note->setFixedWidth(std::max(width, 80));
    note->setFixedHeight(note->heightForWidth(note->width()));
    QPoint at = field->mapTo(window, QPoint(0, field->height() + 2));
    if (at.y() + note->height() > window->height())
        at.setY(field->mapTo(window, QPoint(0, 0)).y() - note->height() - 2);
    at.setX(std::clamp(at.x(), 4, std::max(4, window->width() - note->width() - 4)));
    note->move(at);
    note->raise();
    note->show();
    note->findChild<QTimer*>()->start(8000);
}

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
    if (filterTagText(input)) return Acceptable;
    // The field refuses the edit whole: its user learns why.
    tellRefused(qobject_cast<QWidget*>(parent()), input);
    return Invalid;
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
