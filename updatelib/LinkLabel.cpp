#include "LinkLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOption>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

namespace vyx {
namespace {

// How much of a long text is laid out to tell whether it fits its scroll box.
constexpr qsizetype kSample = 16 * 1024;

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
    // Sized by the box from the start: shown unsized, it would first be laid out at its own
    // preferred width, once more over a long text.
    content->resize(rect.size());
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    auto* label = new TLinkLabel(content);
    label->setObjectName(labelName);
    column->addWidget(label);
    column->addStretch(1);
    box->setWidget(content);
    label->box_ = box;
    return label;
}

TLinkLabel::TLinkLabel(QWidget* parent) : QWidget(parent), document_(new QTextDocument(this))
{
    // A word-wrapped label's size policy, mouse-only links as QLabel keeps them.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred, QSizePolicy::Label);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMouseTracking(true);
    document_->setUndoRedoEnabled(false);
    // Kept by every setHtml; setting the root frame's margin after each would lay it all out again.
    document_->setDocumentMargin(0);
    QTextOption option = document_->defaultTextOption();
    option.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WordWrap);
    document_->setDefaultTextOption(option);
    document_->setDefaultFont(font());
    connect(this, &TLinkLabel::linkActivated, this, &TLinkLabel::linkActivatedHandler);
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
    html_ = MarkupToHtml(expanded, &links_);
    forgetLayout();
    load(expanded);
    updateGeometry();
    update();
}

void TLinkLabel::load(const QString& markup)
{
    const bool fills = box_ && box_->widget() == parentWidget() &&
                       box_->verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                       box_->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff;
    if (!fills) {
        document_->setHtml(html_);
        return;
    }
    // Each layout of a long text costs much: the text is laid out at the width it is shown at,
    // and only there. That is the box's width unless the text needs the box's bar, which its
    // beginning tells when it is long: laid out alone at the box's width, it is already too high.
    const QSize room = box_->maximumViewportSize();
    const bool whole = markup.size() <= kSample;
    QStringList sampleLinks;
    document_->clear();
    document_->setTextWidth(room.width());
    document_->setHtml(whole ? html_ : MarkupToHtml(markup.left(kSample), &sampleLinks));
    const int height = qCeil(document_->size().height());
    // The sample's last line may end otherwise in the whole text.
    const int margin = whole ? 0 : 2 * fontMetrics().lineSpacing();
    if (height - margin <= room.height()) {
        if (!whole) document_->setHtml(html_);
        return;
    }
    // The box asks the height at its own width only to learn that the text does not fit.
    tallWidth_ = room.width();
    heights_.insert(tallWidth_, height);
    document_->clear();
    document_->setTextWidth(room.width() - box_->verticalScrollBar()->sizeHint().width());
    document_->setHtml(html_);
}

QString TLinkLabel::plainText() const { return document_->toPlainText(); }

int TLinkLabel::layOut(int width, bool painted) const
{
    width = std::max(width, 0);
    // A height asked again is the one found before, without a layout; what is painted is laid out
    // at the width painted.
    const auto known = heights_.constFind(width);
    if (known != heights_.constEnd() && document_->textWidth() != width && !painted) return *known;
    if (document_->textWidth() != width) document_->setTextWidth(width);
    const QSizeF size = document_->size();
    // A word wider than the line sticks out alone on it; the widest is the narrowest the label can
    // be, as for QLabel, read from these lines rather than from a layout of its own.
    if (size.width() > width) {
        qreal widest = 0;
        for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
            const QTextLayout* lines = block.layout();
            for (int i = 0; lines && i < lines->lineCount(); ++i)
                widest = std::max(widest, lines->lineAt(i).naturalTextWidth());
        }
        if (qCeil(widest) > overflow_) {
            overflow_ = qCeil(widest);
            // Found while a layout asks: it takes the new minimum once it is done.
            QMetaObject::invokeMethod(const_cast<TLinkLabel*>(this), &QWidget::updateGeometry, Qt::QueuedConnection);
        }
    }
    const int height = qCeil(size.height());
    heights_.insert(width, height);
    return height;
}

void TLinkLabel::forgetLayout()
{
    // The document keeps its width: laid out again at it, it costs one layout, not two.
    heights_.clear();
    overflow_ = 0;
    tallWidth_ = -1;
}

int TLinkLabel::heightForWidth(int width) const
{
    if (minimumWidth() > 0) width = std::max(width, minimumWidth());
    return std::max(layOut(width), minimumHeight());
}

QSize TLinkLabel::minimumSizeHint() const { return QSize(overflow_, 0); }

QSize TLinkLabel::sizeHint() const
{
    // The width its parent has, which the label is laid out at anyway: the scroll box asks the
    // height for the width of this hint, and any other width would cost a layout of its own.
    const int width = parentWidget() ? parentWidget()->width() : fontMetrics().horizontalAdvance(u'x') * 80;
    return QSize(std::max(overflow_, width), fontMetrics().height());
}

void TLinkLabel::paintEvent(QPaintEvent* event)
{
    // A label in its box that is narrower than its widest word, or as wide as the box over a text
    // that needs the bar, is only passing through that width: it is resized and painted again.
    const bool passing = box_ && (width() < overflow_ || width() == tallWidth_);
    layOut(width(), !passing);
    // The colours a QLabel paints its rich text with.
    QStyleOption option;
    option.initFrom(this);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = option.palette;
    if (foregroundRole() != QPalette::Text && isEnabled())
        context.palette.setColor(QPalette::Text, context.palette.color(foregroundRole()));
    // Only what is exposed: a long text has many lines out of sight.
    context.clip = QRectF(event->rect());
    QPainter painter(this);
    painter.setClipRect(rect());
    document_->documentLayout()->draw(&painter, context);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event)
{
    pressedLink_ = document_->documentLayout()->anchorAt(event->position());
    QWidget::mousePressEvent(event);
}

void TLinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (document_->documentLayout()->anchorAt(event->position()).isEmpty()) unsetCursor();
    else setCursor(Qt::PointingHandCursor);
    QWidget::mouseMoveEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const QString link = document_->documentLayout()->anchorAt(event->position());
    if (event->button() == Qt::LeftButton && !link.isEmpty() && link == pressedLink_) emit linkActivated(link);
    pressedLink_.clear();
    QWidget::mouseReleaseEvent(event);
}

void TLinkLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        document_->setDefaultFont(font());
        forgetLayout();
        updateGeometry();
    }
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TLinkLabel::linkActivatedHandler(const QString& href)
{
    bool ok = false;
    const int number = href.toInt(&ok);
    if (!ok || number < 0 || number >= links_.size()) return;
    if (OnLinkClick) OnLinkClick(this, number, links_.at(number));
}

}  // namespace vyx
