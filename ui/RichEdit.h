// A one-paragraph text field with a colour per character, as the tag editor needs it: no field
// takes a line break (Enter is left to the key-up handler), an optional maximum length, and
// word wrap only where asked for. Nothing typed, pasted or dropped puts in a character a tag text
// cannot hold. What the field was given comes back exactly: its no-break spaces and the line
// breaks of a text from a tag (CR LF, LF or CR) as they were, and a field left as it was given
// gives that very text.
#pragma once

#include <QColor>
#include <QTextEdit>
#include <functional>
#include <string>

class QTextDocument;

namespace ui {

// A document's text with every character it holds (QTextDocument::toPlainText makes blanks of
// no-break spaces), a line feed between its paragraphs and lines.
QString exactPlainText(const QTextDocument* document);

class RichEdit : public QTextEdit {
public:
    explicit RichEdit(QWidget* parent = nullptr);

    // ISO-8859-1 bytes, as 8-bit tag texts are; setText stops at the first 0.
    std::string Text() const;
    void setText(const std::string& latin1);
    // Any text, such as a tag text read whole: characters a tag text cannot hold stay where the
    // text puts them, only typing them is refused.
    void setWholeText(const QString& text);
    QString wholeText() const;
    // The maximum length of what is typed; a longer text that is set stays whole.
    void setMaxLength(int length) { maxLength_ = length; }
    // Marks the field (its background) and says why in its tool tip; an empty reason unmarks it.
    void setMark(const QString& reason);
    bool marked() const { return !markReason_.isEmpty(); }
    void setWordWrap(bool on);

    // Colours of characters (0-based); the default colour is the window-text colour. A range is
    // coloured in one pass, and only where its colour differs: a field recoloured at every
    // keystroke stays quick at any length.
    void setCharColours(int from, int to, const QColor& colour);
    QColor charColour(int position) const;
    void setFontColour(const QColor& colour);
    int caretPosition() const;
    void setCaretPosition(int position);

    std::function<void()> OnChange;
    std::function<void(int key)> OnKeyUp;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Characters that can still be typed in place of the selection.
    int roomLeft() const;
    int length() const;
    // The text the document holds, each line break as it was set.
    QString documentText() const;
    int maxLength_ = 0;
    int lastLength_ = 0;
    bool inChange_ = false;
    QString given_;       // the last text set
    QString givenShown_;  // what the document made of it
    QString markReason_;
};

}  // namespace ui
