// A label that renders the small markup of the library's pages: <b>, <br>, <link> and
// <dynamic>, with link clicks and texts supplied for each <dynamic> tag when it is shown.
#pragma once

#include <QHash>
#include <QLabel>  // the forms that place a link label use labels beside it
#include <QPointer>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

class QScrollArea;

#include <functional>

namespace vyx {

// Painted from one text document kept laid out, rather than by QLabel: a QLabel lays its rich
// text out again for every size question (several per show), which made a dialog with a
// description of a megabyte take seconds to appear. What it shows is what a word-wrapped
// QLabel shows for the same rich text.
class TLinkLabel : public QWidget {
    Q_OBJECT
public:
    // Fills the text of <dynamic> tag number tagNumber (numbered from 0 in order of appearance).
    using DynamicTagInitEvent = std::function<void(QObject* sender, QString& text, int tagNumber)>;
    using LinkClickEvent = std::function<void(QObject* sender, int linkNumber, const QString& linkText)>;

    explicit TLinkLabel(QWidget* parent = nullptr);

    // Setting the caption renders it at once, asking for every <dynamic> tag.
    void setCaption(const QString& markup);
    QString caption() const { return caption_; }
    // The rich text shown.
    QString text() const { return html_; }
    // The text as the user reads it.
    QString plainText() const;
    // The plain texts of the links, in order.
    QStringList links() const { return links_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    DynamicTagInitEvent OnDynamicTagInit;
    LinkClickEvent OnLinkClick;

signals:
    // A link was clicked; link is its number.
    void linkActivated(const QString& link);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void render();
    // Loads the rich text for markup (with its <dynamic> texts in place) laid out once, at the
    // width it is shown at when the label fills a scroll box.
    void load(const QString& markup);
    void linkActivatedHandler(const QString& href);
    // The height at width; the document is laid out there when that height is not known yet, or
    // to be painted there.
    int layOut(int width, bool painted = false) const;
    void forgetLayout();

    QString caption_;
    QStringList links_;
    QString html_;
    QTextDocument* document_;
    // Heights for the widths asked (at tallWidth_ a lower bound: the label is never that wide),
    // and the width of the widest line that did not fit.
    mutable QHash<int, int> heights_;
    mutable int overflow_ = 0;
    QString pressedLink_;
    // The scroll box the label fills, if any, and its width without the bar when the text needs
    // the bar (else -1).
    QPointer<QScrollArea> box_;
    int tallWidth_ = -1;

    friend TLinkLabel* PlaceInScrollBox(QScrollArea* box, const QRect& rect, const QString& labelName);
};

// Fills a borderless scroll box placed at rect with a link label aligned to its top, as high as
// its text; the label's parent is the box's content widget.
TLinkLabel* PlaceInScrollBox(QScrollArea* box, const QRect& rect, const QString& labelName);

// Qt rich text for markup; link texts are appended to links.
QString MarkupToHtml(const QString& markup, QStringList* links);

}  // namespace vyx
