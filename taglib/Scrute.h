// TScruteDossier: walks a folder tree on the calling thread and fires one event for every file
// that matches one of its masks and one for every sub-folder. Pending window messages are
// processed while it walks, so a stop button can set Stop in the middle of a walk. What it could
// not read is kept for its owner to tell.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class FolderSnapshot;
}

class TScruteDossier;

using TScruteEvent = std::function<void(TScruteDossier* Sender, const std::string& Nom)>;
using TNotifyEvent = std::function<void(TScruteDossier* Sender)>;

// Something a walk could not read: a folder it could not list, whose files it then never
// reported, or a matching file it could not reach (a path longer than the system takes, a link
// whose target it may not see).
struct TScruteFailure {
    std::string path;
    int error = 0;  // the system's error number
    bool folder = false;
};

class TScruteDossier {
public:
    TScruteDossier();

    void Execute();

    // Run-time values of the last report.
    std::string FichierCourant;
    std::string DossierCourant;
    // Size in bytes and DOS date-time stamp of FichierCourant, as its folder listing gives them.
    int32_t TailleFichier() const
    {
        fetchSizeAndTime();
        return int32_t(current_.size);
    }
    int32_t DateFichier() const
    {
        fetchSizeAndTime();
        return current_.date;
    }
    int32_t Profondeur = 0;

    // Published properties.
    std::string Dossier = "/";
    std::string Filtre = "*.*";
    bool SousDossier = true;
    TScruteEvent OnFichier;
    TScruteEvent OnDossier;
    TNotifyEvent OnCreate;  // kept for compatibility; never fired
    TNotifyEvent OnExecute;
    TNotifyEvent OnFinExecute;
    int32_t MaxPenetration = 10000;

    bool Stop = false;

    // True while Execute runs: a second walk on the same walker is refused.
    bool Running() const { return running_; }
    // What the last walk could not read, in the order met; emptied when a walk starts. A missing
    // folder is not in it: it holds nothing to miss.
    const std::vector<TScruteFailure>& Unreadable() const { return unreadable_; }

private:
    void walk(std::string folder, int32_t depth);
    void reportFiles(const platform::FolderSnapshot& listing, const std::string& prefix);
    void fetchSizeAndTime() const;

    bool running_ = false;
    std::vector<TScruteFailure> unreadable_;
    // The file last reported; its size and date are asked of its folder on first use only, as
    // most owners never need them.
    struct Current {
        const platform::FolderSnapshot* listing = nullptr;
        const std::string* name = nullptr;
        std::string path;  // once its folder is closed
        bool known = true;
        int64_t size = 0;
        int32_t date = 0;
    };
    mutable Current current_;
    // Physical folders already walked: a link that leads back into the tree never loops.
    std::set<std::pair<uint64_t, uint64_t>> visited_;
};
