#include "RichEdit.h"
#include "Controls.h"
#include "Guard.h"
#include "TagTextInput.h"
#include "tagtext.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <algorithm>
#include <utility>
#include <vector>

namespace ui {

RichEdit::RichEdit(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setWordWrap(false);
    setTabChangesFocus(true);
    on(this, &QTextEdit::textChanged, this, [this] {
        if (inChange_) return;
        inChange_ = true;
        // Typed text past the maximum length is cut, as a single-line field would refuse it.
        if (maxLength_ > 0 && toPlainText().size() > maxLength_) {
            QTextCursor cursor(document());
            cursor.setPosition(maxLength_);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        if (OnChange) guarded(OnChange);
        inChange_ = false;
    });
}

std::string RichEdit::Text() const
{
    // Characters that ISO-8859-1 cannot hold become "?", as the tag would store them.
    const QByteArray bytes = toPlainText().toLatin1();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void RichEdit::setText(const std::string& latin1)
{
    const std::string_view cut = tagText(latin1);
    setPlainText(QString::fromLatin1(cut.data(), qsizetype(cut.size())));
    moveCursor(QTextCursor::End);
}

void RichEdit::setWordWrap(bool on)
{
    setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void RichEdit::setCharColours(int from, int to, const QColor& colour)
{
    from = std::max(from, 0);
    to = std::min(to, document()->characterCount() - 1);
    if (from >= to) return;
    // The runs of another colour within the range, found from the document's fragments.
    std::vector<std::pair<int, int>> runs;
    const auto consider = [&](int start, int end, const QTextCharFormat& now) {
        start = std::max(start, from);
        end = std::min(end, to);
        const QBrush brush = now.foreground();
        if (start >= end || (brush.style() == Qt::SolidPattern && brush.color() == colour)) return;
        if (!runs.empty() && runs.back().second == start) runs.back().second = end;
        else runs.emplace_back(start, end);
    };
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            consider(it.fragment().position(), it.fragment().position() + it.fragment().length(),
                     it.fragment().charFormat());
        // A line break of a text set from a tag: its format is the next block's own.
        const int separator = block.position() + block.length() - 1;
        if (block.next().isValid()) consider(separator, separator + 1, block.next().charFormat());
    }
    if (runs.empty()) return;
    const bool was = inChange_;
    inChange_ = true;  // a colour is no change of text
    QTextCursor cursor(document());
    cursor.beginEditBlock();  // laid out once, after the last run
    QTextCharFormat format;
    format.setForeground(colour);
    for (const auto& [start, end] : runs) {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    inChange_ = was;
}

QColor RichEdit::charColour(int position) const
{
    QTextCursor cursor(document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
}

void RichEdit::setFontColour(const QColor& colour)
{
    const bool was = inChange_;
    inChange_ = true;
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.mergeCharFormat(format);
    QTextCharFormat typing = currentCharFormat();
    typing.setForeground(colour);
    setCurrentCharFormat(typing);
    inChange_ = was;
}

int RichEdit::roomLeft() const
{
    const QTextCursor cursor = textCursor();
    return maxLength_ - int(toPlainText().size()) + (cursor.selectionEnd() - cursor.selectionStart());
}

int RichEdit::caretPosition() const { return textCursor().position(); }

void RichEdit::setCaretPosition(int position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::min(position, int(toPlainText().size())));
    setTextCursor(cursor);
}

void RichEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // no line breaks; the key-up handler acts on Enter
        return;
    }
    QString typed = event->text();
    if (!typed.isEmpty() && !filterTagText(typed)) {
        event->accept();
        tellRefused(this, typed);
        return;
    }
    // A full field refuses typed characters, as a single-line field does, rather than pushing
    // its own last characters out.
    if (maxLength_ > 0 && !event->text().isEmpty() && event->text().at(0).isPrint() &&
        roomLeft() < event->text().size()) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void RichEdit::keyReleaseEvent(QKeyEvent* event)
{
    QTextEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat() && OnKeyUp) {
        const int key = keyUpCode(event);
        guarded([&] { OnKeyUp(key); });
    }
}

void RichEdit::insertFromMimeData(const QMimeData* source)
{
    // Pasted text arrives on one line, whole or not at all.
    QString text = source->text();
    if (!filterTagText(text)) {
        tellRefused(this, text);
        return;
    }
    if (maxLength_ > 0) text.truncate(std::max(0, roomLeft()));
    insertPlainText(text);
}

void RichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // What an input method commits is held to the same rule as typed text.
    QString committed = event->commitString();
    if (!filterTagText(committed)) {
        tellRefused(this, committed);
        committed.clear();
    }
    if (committed == event->commitString()) {
        QTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent fitted(event->preeditString(), event->attributes());
    fitted.setCommitString(committed, event->replacementStart(), event->replacementLength());
    QTextEdit::inputMethodEvent(&fitted);
}

}  // namespace ui
