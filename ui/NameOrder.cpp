#include "NameOrder.h"

#include "FileSystem.h"

#include <QCollator>
#include <QStringDecoder>

#include <algorithm>

namespace ui {

namespace {

QCollator makeCollator()
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Made again only when the locale changes: opening a collator costs more than many keys.
const QCollator& collator()
{
    static QCollator collator = makeCollator();
    if (collator.locale() != QLocale()) collator = makeCollator();
    return collator;
}

// Letters a-z without regard to case, every other byte by its code, whatever the C library's
// locale.
int compareFolded(const std::string& a, const std::string& b)
{
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : int(c); };
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = fold((unsigned char)a[i]), y = fold((unsigned char)b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

NameKey::NameKey(std::string_view name)
{
    QStringDecoder decode(QStringConverter::Utf8,
                          QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decode(QByteArrayView(name.data(), qsizetype(name.size())));
    if (decode.hasError()) {
        bytes_ = name;
        return;
    }
    const QCollator& c = collator();
    // The C locale's keys are the text's code points, case and all: folded first, they ignore
    // case as the locales' keys do.
    if (c.locale().language() == QLocale::C) text = text.toCaseFolded();
    key_ = c.sortKey(text);
}

int NameKey::compare(const NameKey& other) const
{
    if (key_ && other.key_) return key_->compare(*other.key_);
    if (key_ || other.key_) return key_ ? -1 : 1;
    return compareFolded(bytes_, other.bytes_);
}

PathKey::PathKey(const std::string& path)
    : folder_(platform::folderPart(path)), folderKey_(folder_), nameKey_(platform::fileNamePart(path))
{
}

int PathKey::compare(const PathKey& other) const
{
    if (const int folders = folderKey_.compare(other.folderKey_)) return folders;
    if (const int bytes = folder_.compare(other.folder_)) return bytes;
    return nameKey_.compare(other.nameKey_);
}

}  // namespace ui
