// libFuzzer target: any bytes as a CDDB server's replies, the query's before the first zero byte
// and the read's after it, taken apart as the CD window takes them: the disc of a test image is
// queried, an exact match read at once, a match line of a list read as the chooser hands it
// back, then the entry's titles, artist, album and category. The replies come from the tests'
// loopback server.
#include "CDDBConnect.h"
#include "CdImages.h"
#include "CddbLoopbackServer.h"

#include <QCoreApplication>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

std::string folder;
char letter = 0;
std::unique_ptr<cdtest::CddbServer> server;

bool trimmed(const std::string& s)
{
    return s.empty() || (static_cast<unsigned char>(s.front()) > ' ' && static_cast<unsigned char>(s.back()) > ' ');
}

// The entry read last, taken apart.
void parse(const TCDDBConnect& cddb)
{
    std::vector<std::string> titles;
    cddb.GetTrackTitles(titles);
    if (!trimmed(cddb.GetArtist()) || !trimmed(cddb.GetAlbumTitle())) __builtin_trap();
    try {
        if (cddb.GetCategory().find(' ') != std::string::npos) __builtin_trap();
    } catch (const std::out_of_range&) {
        if (!cddb.EntryLines.empty()) __builtin_trap();  // only an empty entry has no first line
    }
}

void read(TCDDBConnect& cddb, const std::string& line)
{
    try {
        cddb.Read(line);
    } catch (const std::runtime_error&) {
        return;
    }
    parse(cddb);
}

void queryAndRead(TCDDBConnect& cddb, const std::string& queryReply)
{
    int32_t code = 0;
    try {
        cddb.Query(letter, code);
    } catch (const std::runtime_error&) {
        return;
    }
    if (code == 200) parse(cddb);  // the exact match, read by Query
    // The first match line of a list, as the chooser gives it back.
    const std::size_t eol = queryReply.find_first_of("\r\n");
    if (eol != std::string::npos) {
        const std::size_t next = queryReply.find_first_of("\r\n", eol + 1);
        read(cddb, queryReply.substr(eol + 1, next == std::string::npos ? std::string::npos : next - eol - 1));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    folder = cdtest::tempFolder();
    std::atexit([] { std::system(("rm -rf '" + folder + "'").c_str()); });
    const cdtest::Disc disc = cdtest::makeDisc(
        folder, "tones", {{cdtest::TrackPlan::Tone, 300, 0, 440}, {cdtest::TrackPlan::Noise, 451, 0, 0}});
    setenv("SONOVERNE_CD_IMAGES", disc.cue.c_str(), 1);
    const std::vector<std::string> sources = cdaudio::cdSources();
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i] == disc.cue) letter = char('D' + i);
    server = std::make_unique<cdtest::CddbServer>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype zero = bytes.indexOf('\0');
    const QByteArray query = zero < 0 ? bytes : bytes.left(zero);
    server->answers["query"] = {cdtest::CddbServer::http(query)};
    server->answers["read"] = {cdtest::CddbServer::http(zero < 0 ? QByteArray() : bytes.mid(zero + 1))};
    server->targets.clear();
    server->heads.clear();

    static TCDDBConnect cddb;  // one for the window's life, as the CD window has
    cddb.Server = server->base().toStdString();
    queryAndRead(cddb, query.toStdString());
    // The replies are deleted once back in the event loop, as the program's main loop does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
