// The local cache of disc identities: one text file per disc id in "CDDBLOCAL" beside the
// program, so that a disc looked up once needs no network afterwards.
#include "Unit11.h"

#include "CddbCache.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Input.h"

#include <QStringDecoder>

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

std::string TForm11::CacheFileName() const { return CacheFolder() + DiscIdText + ".jbd"; }

void TForm11::writeCacheFile(const QString& artist, int count, const QStringList& titles, const QString& category,
                             const QString& album)
{
    cdaudio::TCddbCacheEntry entry;
    entry.DiscId = DiscIdText;
    entry.Artist = artist.toStdString();
    entry.Count = count;
    for (const QString& title : titles) entry.Titles.push_back(title.toStdString());
    entry.Category = category.toStdString();
    entry.Album = album.toStdString();
    const std::string text = cdaudio::CddbCacheEntryText(entry);
    const std::string folder = CacheFolder();
    const std::string name = CacheFileName();
    int error = 0;
    if (!platform::folderExists(folder) && !platform::makeFolders(folder)) error = errno;
    // A link planted at the entry's name is replaced, never written through.
    if (!error) error = platform::writeFileAside(name, text, true);
    if (error)
        throw std::runtime_error("Impossible d'écrire le fichier " + platform::printable(name) + " : " +
                                 platform::errorText(error));
}

void TForm11::SaveLocalCddbEntry()
{
    ShowDiscIdentity();
    const cdaudio::TDiscIdentity found = cdaudio::CddbEntryIdentity(CDDBConnect1.EntryText);
    ListBox2.clear();
    for (const std::string& t : found.Titles) ListBox2.append(tagLine(t));
    // Later edits of this entry keep the server's category.
    CachedCategory = textOf(found.Category);
    writeCacheFile(textOf(found.Artist), CDDBConnect1.TrackCount, ListBox2, CachedCategory, textOf(found.Album));
}

void TForm11::SaveEditedCddbEntry()
{
    ShowDiscIdentity();
    writeCacheFile(Edit2->text(), TitleCount, ListBox2, CachedCategory, Edit1->text());
}

void TForm11::LoadLocalCddbEntry()
{
    ShowDiscIdentity();
    ListBox2.clear();
    TitleCount = 0;
    CachedArtist.clear();
    CachedAlbum.clear();
    CachedCategory.clear();
    Edit1->clear();
    Edit2->clear();
    const std::string name = CacheFileName();
    if (!platform::fileExists(name)) {
        FillDefaultTracks();
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
        else if (error) throw std::runtime_error(platform::cannotReadText(name, error));
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
        FillDefaultTracks();
        ui::Dialogs::MessageBox(
            this, QString::fromStdString(e.what()) + QStringLiteral(". Les titres par défaut sont affichés."),
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
        return;
    }
    CachedArtist = lineOf(entry.Artist);
    TitleCount = entry.Count;
    CachedCategory = lineOf(entry.Category);
    CachedAlbum = lineOf(entry.Album);
    ShowIdentity(cdaudio::CddbCacheIdentity(entry));
}
