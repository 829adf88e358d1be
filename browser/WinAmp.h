// Remote control of a running media player, as once done with Winamp's window messages.
//
// Here a player is an MPRIS player on the D-Bus session bus: it stands for the player's main
// window of class "Winamp v1.x", and the window messages become MPRIS calls (see SendCommand).
//
// Which player: among the bus names "org.mpris.MediaPlayer2.*" in sorted order, the first whose
// SupportedUriSchemes holds "file" (a browser's media session opens no files), else the first;
// the environment variable SONOVERNE_MPRIS_PLAYER (e.g. "vlc") narrows the choice to that
// player's names.
// A player that keeps a command waiting 2 s in all for an answer that does not come loses it
// (see Answering); one that answers, however slowly, never does.
// The handle: a small positive number standing for the player's unique bus connection (":1.42"),
// given once per connection for the life of the program. A player that quits and comes back is a
// new connection, so an old handle stays stale and what is sent to it is lost, as with a window.
// 0 is "no player"; -1 is refused by SendCommand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TWindowHandle = std::intptr_t;

// The message codes the player understands.
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_COPYDATA = 0x004A;

// The record that carries data with WM_COPYDATA.
struct TCopyDataStruct {
    std::uintptr_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

// The one record that every TWinAmpControl::AddFile fills. Only dwData and cbData outlive the
// call: lpData points into the caller's name and is cleared once the player has it.
extern TCopyDataStruct WinAmpCopyData;

class TWinAmpControl {
public:
    TWinAmpControl();
    // Closes the player first when CloseWinAmpOnExit is set.
    ~TWinAmpControl();
    TWinAmpControl(const TWinAmpControl&) = delete;
    TWinAmpControl& operator=(const TWinAmpControl&) = delete;

    // Published.
    std::string WinAmpClassName = "Winamp v1.x";
    bool AboutComponent() const { return false; }
    void SetAboutComponent(bool Value);
    bool StartAndFindWinAmp = false;
    bool CloseWinAmpOnExit = false;
    std::int32_t DelayAfterLoadWinAmp = 3000;  // milliseconds
    // Kept as the player's traditional place; the program never starts the player itself.
    std::string WAmpPath = "C:\\Program Files\\WinAmp\\WinAmp.exe";

    // The search and the messages sent while one exists make one command: the player it drives
    // may keep it waiting 2 s in all for answers that do not come, so that a silent player holds
    // the window no longer. Without one, each message is a command of its own.
    class TCommand {
    public:
        explicit TCommand(TWinAmpControl& control);
        ~TCommand();
        TCommand(const TCommand&) = delete;
        TCommand& operator=(const TCommand&) = delete;

    private:
        TWinAmpControl& control_;
    };

    // Looks for the player (starting it first when StartAndFindWinAmp is set); returns its
    // handle or 0, and sets Found. A player found that did not answer the search is not
    // Answering.
    TWindowHandle GoFindWinAmp();
    bool Found() const { return FFound; }

    // Starts the player detached with the parameter /CLASS="<WinAmpClassName>"; true when it
    // was started.
    bool StartWinAmp(const std::string& Path);

    // Sends one message to the player last found and returns its result: 1 when the player
    // handled it, 0 when it was lost (no player, a player gone, a message it does not know).
    // A handle of -1 sends nothing.
    std::intptr_t SendCommand(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam);
    // False once the player kept the command waiting its 2 s for an answer that did not come:
    // the command's later messages are not sent.
    bool Answering() const { return FAnswering; }

    void Play();
    void Pause();
    void Stop();
    void Previous();
    void Next();
    void Forward5s();
    void Rewind5s();
    void CloseWinAmp();
    void ClearPlaylist();
    // Queues the file named by a zero-terminated 8-bit path (bytes, not necessarily UTF-8).
    void AddFile(const char* FileName);

private:
    TWindowHandle WinAmpHandle = 0;
    bool FFound = false;
    bool FAnswering = true;
    bool FInCommand = false;
};
