// TCDDBConnect: looks an audio CD up on a CDDB server over HTTP (protocol level 4 in the query
// string of GET requests to the server's "/cddb.cgi") and takes the reply apart: track titles,
// artist, album title, category. Requests are waited on with a local event loop that takes every
// window message (the caller refuses what would disturb a look-up, and may stop it), bounded in
// time, in size and in the memory that any part of an answer takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QString;
namespace net {
class THttpGet;
}

class TCDDBConnect {
public:
    using TDataEvent = std::function<void(TCDDBConnect* Sender, const std::string& AData)>;
    using TDataReceiveEvent = std::function<void(TCDDBConnect* Sender, int32_t Code, const std::string& AData)>;

    TCDDBConnect();
    virtual ~TCDDBConnect();
    TCDDBConnect(const TCDDBConnect&) = delete;
    TCDDBConnect& operator=(const TCDDBConnect&) = delete;

    std::string ComponentVersion() const { return "1.03 - 24/12/2002"; }
    void SetComponentVersion(const std::string&) {}
    void SetDrive(char d) { drive_ = d; }  // kept; the drive is an argument of Query
    std::string UserName = "Unknown";
    std::string HostName = "Unknown";
    std::string ClientName = "Unknown";
    std::string ClientVersion = "1.0";
    std::string Server = "http://gnudb.gnudb.org/~cddb";
    int32_t Port = 8880;
    std::string ProxyServer;
    int32_t ProxyPort = 80;
    std::string ProxyPassword;
    std::string ProxyUsername;
    TDataEvent OnSendData;
    TDataReceiveEvent OnReceiveData;

    // Of the disc of the last query.
    std::string DiscId;
    int32_t TrackCount = 0;
    int32_t DiscSeconds = 0;
    // Of the last reply, and of the last read.
    int32_t LastCode = 0;
    std::string EntryText;
    std::vector<std::string> EntryLines;

    // Bounds of one request: a server that does not answer, or answers without end.
    int TimeoutMs = 30000;
    int64_t MaxReplyBytes = 1 << 20;

    // Identifies the disc in the drive and queries; an exact match (200) is read at once.
    std::string Query(char drive, int32_t& code);
    // Reads the entry named by a match line ("[200 |210 ]category discid ..."). Raises, keeping
    // the last entry, unless the server gives a whole one (code 210, its titles, its end).
    std::string Read(const std::string& line);
    // One title per track: lines continuing a title (the same TTITLEn key) are joined.
    void GetTrackTitles(std::vector<std::string>& list) const;
    std::string GetArtist() const;
    std::string GetAlbumTitle() const;
    std::string GetCategory() const;
    // One request; sets LastCode. Raises on a failed request or a reply with no code.
    std::string SendCommand(const std::string& command);
    std::string BuildUrl(const std::string& command) const;
    virtual void ApplySettings();
    // Stops the request under way, from a handler that runs while it waits: it then raises
    // with a message that says so.
    void Abort();
    bool Busy() const { return http_ != nullptr; }

private:
    // One GET of url with the client's settings: its reply, or an exception that says why not.
    std::string fetch(const std::string& url);
    void checkAnswer(const net::THttpGet& http, const QString& failure, bool proxied, bool redirected) const;

    char drive_ = 0;
    net::THttpGet* http_ = nullptr;  // the request under way
    // The HTTP client's settings, as ApplySettings copied them.
    struct {
        int32_t port = 0;
        std::string proxyServer, proxyUsername, proxyPassword;
        int32_t proxyPort = 0;
    } client_;
};
