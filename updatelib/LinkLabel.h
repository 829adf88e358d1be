// A label that renders the small markup of the library's pages: <b>, <br>, <link> and
// <dynamic>, with link clicks and texts supplied for each <dynamic> tag when it is shown.
#pragma once

#include <QLabel>
#include <QStringList>

class QScrollArea;

#include <functional>

namespace vyx {

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    // Fills the text of <dynamic> tag number tagNumber (numbered from 0 in order of appearance).
    using DynamicTagInitEvent = std::function<void(QObject* sender, QString& text, int tagNumber)>;
    using LinkClickEvent = std::function<void(QObject* sender, int linkNumber, const QString& linkText)>;

    explicit TLinkLabel(QWidget* parent = nullptr);

    // Setting the caption renders it at once, asking for every <dynamic> tag.
    void setCaption(const QString& markup);
    QString caption() const { return caption_; }
    // The text as the user reads it.
    QString plainText() const;
    // The plain texts of the links, in order.
    QStringList links() const { return links_; }

    DynamicTagInitEvent OnDynamicTagInit;
    LinkClickEvent OnLinkClick;

private:
    void render();
    void linkActivatedHandler(const QString& href);

    QString caption_;
    QStringList links_;
};

// Fills a borderless scroll box placed at rect with a link label aligned to its top, as high as
// its text; the label's parent is the box's content widget.
TLinkLabel* PlaceInScrollBox(QScrollArea* box, const QRect& rect, const QString& labelName);

// Qt rich text for markup; link texts are appended to links.
QString MarkupToHtml(const QString& markup, QStringList* links);

}  // namespace vyx
