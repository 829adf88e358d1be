// The rule for every field whose text goes into a tag: a tag text holds ISO-8859-1 characters on
// one line. Control characters become blanks; a text with a character beyond ISO-8859-1 is
// refused whole, and the user is told at once beside the field, so nothing typed or pasted is
// silently changed into something else.
#pragma once

#include <QLineEdit>
#include <QValidator>
#include <string>

namespace ui {

// Applies the rule to text in place: false (text untouched) when it holds a character beyond
// ISO-8859-1, else true with every control character replaced by a blank.
bool filterTagText(QString& text);

// The characters of text beyond ISO-8859-1, each once, in their order.
QStringList charactersBeyondLatin1(const QString& text);

// Tells the user, in a note just below the field, that the field refused `input` for its
// characters beyond ISO-8859-1, and names them. The note is a child of the field's window named
// RefusalNoticeName; it goes after a few seconds, or at the next refusal.
void tellRefused(QWidget* field, const QString& input);
inline constexpr const char* RefusalNoticeName = "tagTextRefusal";

// The rule as a validator, for any line edit.
class TagTextValidator : public QValidator {
public:
    explicit TagTextValidator(QObject* parent = nullptr) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;
};

// A one-line field for a tag text, with the rule above and an optional maximum length.
// Text() and setText() carry ISO-8859-1 bytes; setText() stops at the text's first 0.
class TagEdit : public QLineEdit {
public:
    explicit TagEdit(QWidget* parent = nullptr, int maxLength = 0);

    std::string Text() const;
    void setText(const std::string& latin1);
};

}  // namespace ui
