#include "Scrute.h"

#include "FileSystem.h"
#include "Messages.h"

using platform::DirEntry;
using platform::FolderListing;

TScruteDossier::TScruteDossier() = default;

void TScruteDossier::Execute()
{
    if (running_) return;
    running_ = true;
    struct Reset {
        TScruteDossier* self;
        ~Reset() { self->running_ = false; self->visited_.clear(); }
    } reset{this};

    if (OnExecute) OnExecute(this);
    Stop = false;
    FichierCourant.clear();
    DossierCourant.clear();
    TailleFichier = 0;
    DateFichier = 0;
    visited_.clear();
    walk(Dossier, 0);
    if (OnFinExecute) OnFinExecute(this);
}

void TScruteDossier::walk(std::string folder, int32_t depth)
{
    if (MaxPenetration >= 0 && depth > MaxPenetration) return;
    Profondeur = depth;
    if (!folder.empty() && folder.back() == platform::PathSeparator) folder.pop_back();

    uint64_t device = 0, inode = 0;
    if (platform::folderIdentity(folder.empty() ? std::string("/") : folder, device, inode) &&
        !visited_.insert({device, inode}).second)
        return;

    const std::string prefix = folder + platform::PathSeparator;
    DirEntry entry;

    // Files, mask after mask: a file that matches two masks is reported twice.
    size_t start = 0;
    while (true) {
        size_t semicolon = Filtre.find(';', start);
        std::string mask = Filtre.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
        FolderListing files(folder, mask);
        while (!Stop && files.next(entry)) {
            platform::processMessages();
            // A stop pressed while messages were processed ends the walk before this entry.
            if (Stop) break;
            if (entry.isDirectory) continue;
            if (OnFichier) {
                FichierCourant = prefix + entry.name;
                int64_t size = 0;
                int32_t stamp = 0;
                if (!files.sizeAndTime(entry.name, size, stamp)) size = stamp = 0;
                currentSize_ = size;
                TailleFichier = int32_t(size);
                DateFichier = stamp;
                OnFichier(this, FichierCourant);
            }
        }
        if (semicolon == std::string::npos) break;
        start = semicolon + 1;
    }

    // Sub-folders, depth first, each announced just before its own walk.
    FolderListing folders(folder, "*.*");
    while (!Stop && folders.next(entry)) {
        if (entry.name == "." || entry.name == ".." || !entry.isDirectory) continue;
        DossierCourant = prefix + entry.name;
        if (OnDossier) OnDossier(this, DossierCourant);
        if (SousDossier && !Stop) walk(DossierCourant, depth + 1);
        platform::processMessages();
    }
}
