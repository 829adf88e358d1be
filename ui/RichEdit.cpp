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

namespace {

// The line break a paragraph set from a text came after ("\r\n", "\n" or "\r"), kept in the
// paragraph's format: the document itself keeps only that there was one.
constexpr int LineBreakBefore = QTextFormat::UserProperty + 1;

// A marked field's background: light enough for black and blue text alike.
const QColor MarkColour(0xFF, 0xE7, 0xA3);

}  // namespace

QString exactPlainText(const QTextDocument* document)
{
    QString text = document->toRawText();
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
    return text;
}

RichEdit::RichEdit(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setWordWrap(false);
    setTabChangesFocus(true);
    on(this, &QTextEdit::textChanged, this, [this] {
        if (inChange_) return;
        inChange_ = true;
        // Typed text past the maximum length is cut, as a single-line field would refuse it; a
        // longer text that was set, such as a year "1999-2000" read from a tag, is not.
        const int now = length();
        if (maxLength_ > 0 && now > maxLength_ && now > lastLength_) {
            QTextCursor cursor(document());
            cursor.setPosition(std::max(maxLength_, lastLength_));
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        lastLength_ = length();
        if (OnChange) guarded(OnChange);
        inChange_ = false;
    });
}

std::string RichEdit::Text() const
{
    // Characters that ISO-8859-1 cannot hold become "?".
    const QByteArray bytes = wholeText().toLatin1();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void RichEdit::setText(const std::string& latin1)
{
    const std::string_view cut = tagText(latin1);
    setWholeText(QString::fromLatin1(cut.data(), qsizetype(cut.size())));
}

void RichEdit::setWholeText(const QString& text)
{
    given_ = text;
    const bool was = inChange_;
    inChange_ = true;
    // One paragraph per line, each after the line break it came after.
    qsizetype start = 0;
    QString lineBreak;
    for (qsizetype i = 0;; ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n')) continue;
        const QString line = text.mid(start, i - start);
        if (lineBreak.isNull()) {
            setPlainText(line);
        } else {
            QTextCursor cursor(document());
            cursor.movePosition(QTextCursor::End);
            QTextBlockFormat format;
            format.setProperty(LineBreakBefore, lineBreak);
            cursor.insertBlock(format);
            cursor.insertText(line);
        }
        if (end) break;
        const bool crlf = text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n');
        lineBreak = text.mid(i, crlf ? 2 : 1);
        i += crlf ? 1 : 0;
        start = i + 1;
    }
    document()->clearUndoRedoStacks();
    givenShown_ = documentText();
    lastLength_ = length();
    inChange_ = was;
    moveCursor(QTextCursor::End);
    if (!was && OnChange) guarded(OnChange);
}

QString RichEdit::documentText() const
{
    QString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin()) {
            const QVariant lineBreak = block.blockFormat().property(LineBreakBefore);
            text += lineBreak.isValid() ? lineBreak.toString() : QStringLiteral("\n");
        }
        text += block.text();
    }
    return text;
}

QString RichEdit::wholeText() const
{
    // A field as it was set gives what it was set with, even what the document cannot hold.
    const QString shown = documentText();
    return shown == givenShown_ ? given_ : shown;
}

int RichEdit::length() const { return document()->characterCount() - 1; }

void RichEdit::setMark(const QString& reason)
{
    if (reason == markReason_) return;
    markReason_ = reason;
    QPalette marked;
    if (!reason.isEmpty()) marked.setColor(QPalette::Base, MarkColour);
    setPalette(marked);  // no colour of its own: the field's usual one
    setToolTip(reason);
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
    return maxLength_ - length() + (cursor.selectionEnd() - cursor.selectionStart());
}

int RichEdit::caretPosition() const { return textCursor().position(); }

void RichEdit::setCaretPosition(int position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::min(position, length()));
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
