// The local cache of disc identities: one text file per disc id in "CDDBLOCAL" beside the
// program, so that a disc looked up once needs no network afterwards.
#include "Unit11.h"

#include "CddbCache.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Input.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace {

QString textOf(const std::string& utf8) { return QString::fromStdString(utf8); }

// A line of an entry as the whole text held it: a byte order mark that opens it stays.
QString lineOf(const std::string& utf8)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
}

constexpr std::size_t MaxEntryBytes = 1 << 20;

}  // namespace

std::string TForm11::CacheFolder() const { return platform::programFolder() + "CDDBLOCAL/"; }

std::string TForm11::CacheFileName(const std::string& discId) const { return CacheFolder() + discId + ".jbd"; }

QString TForm11::CachedCategory() const { return lineOf(shown_.Category); }

void TForm11::writeCacheEntry(const cdaudio::TDiscIdentity& identity)
{
    const std::string text = cdaudio::CddbCacheEntryText({identity});
    const std::string folder = CacheFolder();
    const std::string name = CacheFileName(identity.DiscId);
    int error = 0;
    if (!platform::folderExists(folder) && !platform::makeFolders(folder)) error = errno;
    // A link planted at the entry's name is replaced, never written through.
    if (!error) error = platform::writeFileAside(name, text, platform::AtLink::ReplaceLink);
    // The titles are shown whether or not they are kept: a cache that cannot be written is told
    // once, not at every save.
    if (error == cacheFailureTold_) return;
    cacheFailureTold_ = error;
    if (error)
        ui::Dialogs::MessageBox(
            this, QString::fromStdString(platform::fileFailureText(platform::FileAction::Write, name, error) + "."),
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
}

void TForm11::SaveLocalCddbEntry() { writeCacheEntry(shown_); }

void TForm11::SaveEditedCddbEntry()
{
    // The entry holds the titles it counts, so that it reads back as it was written.
    cdaudio::TDiscIdentity edited = shown_;
    edited.Titles.resize(std::min(edited.Titles.size(), size_t(std::max(edited.TitleCount, 0))));
    writeCacheEntry(edited);
}

void TForm11::LoadLocalCddbEntry()
{
    // What was shown goes first: a disc that cannot be read leaves nothing of it.
    clearIdentity();
    ShowDiscIdentity();
    const std::string name = CacheFileName(inDrive_.DiscId);
    if (!platform::fileExists(name)) {
        showDefaults();
        return;
    }
    cdaudio::TCddbCacheEntry entry;
    try {
        // Read whole, then closed: a bad line below leaves no file open. A FIFO in the entry's
        // place is not waited on, and an entry far larger than any disc's is refused like an
        // over-long reply of the server.
        std::string text;
        if (const int error = platform::readWholeFile(name, MaxEntryBytes, text); error == EFBIG)
            throw std::runtime_error("Le fichier " + platform::printable(name) + " dépasse " +
                                     std::to_string(MaxEntryBytes / 1024) + " Kio : il est refusé");
        else if (error) throw std::runtime_error(platform::fileFailureText(platform::FileAction::Read, name, error));
        // As text: a byte order mark that opens the file goes, bytes that are no UTF-8 become
        // replacement characters.
        text = textOf(text).toStdString();
        try {
            cdaudio::ReadCddbCacheEntry(text, entry);
        } catch (const std::exception& e) {
            throw std::runtime_error("Le fichier " + platform::printable(name) + " est endommagé : " + e.what());
        }
    } catch (const std::exception& e) {
        // The disc is shown all the same, with its default titles, so that it can be ripped.
        showDefaults();
        ui::Dialogs::MessageBox(
            this, QString::fromStdString(e.what()) + QStringLiteral(". Les titres par défaut sont affichés."),
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
        return;
    }
    // The entry is the disc's by its name; its first line is not read.
    entry.Identity.DiscId = inDrive_.DiscId;
    entry.Identity.Sectors = inDrive_.Sectors;
    ShowIdentity(entry.Identity);
}
