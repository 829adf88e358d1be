// TScruteDossier: walks a folder tree on the calling thread and fires one event for every file
// that matches one of its masks and one for every sub-folder. Pending window messages are
// processed while it walks, so a stop button can set Stop in the middle of a walk.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>

class TScruteDossier;

using TScruteEvent = std::function<void(TScruteDossier* Sender, const std::string& Nom)>;
using TNotifyEvent = std::function<void(TScruteDossier* Sender)>;

class TScruteDossier {
public:
    TScruteDossier();

    void Execute();

    // Run-time values of the last report.
    std::string FichierCourant;
    std::string DossierCourant;
    int32_t TailleFichier = 0;
    int32_t DateFichier = 0;
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

    // The whole size of FichierCourant (TailleFichier keeps 32 bits of it), so that an owner
    // needs no second look at the file.
    int64_t CurrentFileSize() const { return currentSize_; }

    // True while Execute runs: a second walk on the same walker is refused.
    bool Running() const { return running_; }

private:
    void walk(std::string folder, int32_t depth);

    bool running_ = false;
    int64_t currentSize_ = 0;
    // Physical folders already walked: a link that leads back into the tree never loops.
    std::set<std::pair<uint64_t, uint64_t>> visited_;
};
