// A one-paragraph text field with a colour per character, as the tag editor needs it: no field
// takes a line break (Enter is left to the key-up handler), an optional maximum length, and
// word wrap only where asked for. Text() and setText() carry ISO-8859-1 bytes, as tags do, and
// nothing typed, pasted or dropped puts in a character a tag text cannot hold.
#pragma once

#include <QColor>
#include <QTextEdit>
#include <functional>
#include <string>

namespace ui {

class RichEdit : public QTextEdit {
public:
    explicit RichEdit(QWidget* parent = nullptr);

    std::string Text() const;
    void setText(const std::string& latin1);
    void setMaxLength(int length) { maxLength_ = length; }
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
    int maxLength_ = 0;
    bool inChange_ = false;
};

}  // namespace ui
