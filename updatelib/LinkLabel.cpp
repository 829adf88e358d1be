#include "LinkLabel.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace vyx {
namespace {

// The system's "hot light" colour, used for links whether clicked or not.
constexpr auto kLinkStyle = "color:#0066cc; text-decoration:underline;";

// The tag at position i of s ("b", "/b", "br", "link", "/link", "dynamic"), or empty.
QString TagAt(const QString& s, qsizetype i, qsizetype* length)
{
    static const char* const kTags[] = {"<dynamic>", "</link>", "<link>", "<br>", "</b>", "<b>"};
    for (const char* tag : kTags) {
        const QLatin1String t(tag);
        if (s.mid(i, t.size()).compare(t, Qt::CaseInsensitive) == 0) {
            *length = t.size();
            return QString(t.mid(1, t.size() - 2)).toLower();
        }
    }
    return {};
}

}  // namespace

QString MarkupToHtml(const QString& markup, QStringList* links)
{
    QString html = QStringLiteral("<span style=\"white-space:pre-wrap;\">");
    QString plain, linkText;
    bool inLink = false;
    auto flush = [&] {
        html += plain.toHtmlEscaped();
        if (inLink) linkText += plain;
        plain.clear();
    };
    for (qsizetype i = 0; i < markup.size();) {
        qsizetype length = 0;
        const QString tag = markup.at(i) == u'<' ? TagAt(markup, i, &length) : QString();
        if (tag.isEmpty()) {
            plain += markup.at(i++);
            continue;
        }
        flush();
        i += length;
        if (tag == u"b") {
            html += QStringLiteral("<b>");
        } else if (tag == u"/b") {
            html += QStringLiteral("</b>");
        } else if (tag == u"br") {
            html += QStringLiteral("<br>");
        } else if (tag == u"link" && !inLink) {
            inLink = true;
            linkText.clear();
            html += QStringLiteral("<a href=\"%1\" style=\"%2\">").arg(links->size()).arg(kLinkStyle);
        } else if (tag == u"/link" && inLink) {
            inLink = false;
            links->append(linkText);
            html += QStringLiteral("</a>");
        }
    }
    flush();
    if (inLink) {
        links->append(linkText);
        html += QStringLiteral("</a>");
    }
    return html + QStringLiteral("</span>");
}

TLinkLabel* PlaceInScrollBox(QScrollArea* box, const QRect& rect, const QString& labelName)
{
    box->setGeometry(rect);
    box->setFrameShape(QFrame::NoFrame);
    box->setWidgetResizable(true);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->verticalScrollBar()->setTracking(true);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    auto* label = new TLinkLabel(content);
    label->setObjectName(labelName);
    column->addWidget(label);
    column->addStretch(1);
    box->setWidget(content);
    return label;
}

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setOpenExternalLinks(false);
    connect(this, &QLabel::linkActivated, this, &TLinkLabel::linkActivatedHandler);
}

void TLinkLabel::setCaption(const QString& markup)
{
    caption_ = markup;
    render();
}

void TLinkLabel::render()
{
    // Each <dynamic> is replaced by its text, which may carry markup of its own.
    QString expanded;
    int tagNumber = 0;
    for (qsizetype i = 0; i < caption_.size();) {
        qsizetype length = 0;
        if (caption_.at(i) == u'<' && TagAt(caption_, i, &length) == u"dynamic") {
            QString text;
            if (OnDynamicTagInit) OnDynamicTagInit(this, text, tagNumber);
            ++tagNumber;
            expanded += text;
            i += length;
        } else {
            expanded += caption_.at(i++);
        }
    }
    links_.clear();
    setText(MarkupToHtml(expanded, &links_));
}

QString TLinkLabel::plainText() const
{
    QTextDocument document;
    document.setHtml(text());
    return document.toPlainText();
}

void TLinkLabel::linkActivatedHandler(const QString& href)
{
    bool ok = false;
    const int number = href.toInt(&ok);
    if (!ok || number < 0 || number >= links_.size()) return;
    if (OnLinkClick) OnLinkClick(this, number, links_.at(number));
}

}  // namespace vyx
