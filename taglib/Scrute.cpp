#include "Scrute.h"

#include "FileSystem.h"
#include "Messages.h"

#include <algorithm>
#include <cerrno>
#include <climits>

using platform::DirEntry;
using platform::FolderSnapshot;

TScruteDossier::TScruteDossier() = default;

void TScruteDossier::Execute()
{
    if (running_) return;
    running_ = true;
    struct Reset {
        TScruteDossier* self;
        ~Reset()
        {
            self->running_ = false;
            self->visited_.clear();
        }
    } reset{this};

    if (OnExecute) OnExecute(this);
    Stop = false;
    FichierCourant.clear();
    DossierCourant.clear();
    current_ = {};
    visited_.clear();
    unreadable_.clear();
    walk(Dossier, 0);
    if (OnFinExecute) OnFinExecute(this);
}

void TScruteDossier::walk(std::string folder, int32_t depth)
{
    if (MaxPenetration >= 0 && depth > MaxPenetration) return;
    Profondeur = depth;
    if (!folder.empty() && folder.back() == platform::PathSeparator) folder.pop_back();

    // One read of the folder serves every mask and the sub-folders.
    FolderSnapshot listing(folder);
    if (const int error = listing.error(); error != 0 && error != ENOENT && error != ENOTDIR)
        unreadable_.push_back({folder.empty() ? std::string(1, platform::PathSeparator) : folder, error, true});
    uint64_t device = 0, inode = 0;
    if (listing.identity(device, inode) && !visited_.insert({device, inode}).second) return;

    const std::string prefix = folder + platform::PathSeparator;

    reportFiles(listing, prefix);
    listing.close();

    // Sub-folders, depth first, each announced just before its own walk.
    for (const DirEntry& entry : listing.entries()) {
        if (Stop) break;
        if (!entry.isDirectory) continue;
        DossierCourant = prefix + entry.name;
        if (OnDossier) OnDossier(this, DossierCourant);
        if (SousDossier && !Stop) walk(DossierCourant, depth + 1);
        platform::processMessages();
    }
}

void TScruteDossier::reportFiles(const FolderSnapshot& listing, const std::string& prefix)
{
    // The last values stay readable once the folder is closed (even when an event throws): they
    // are then asked of the file's whole path.
    struct KeepLast {
        const TScruteDossier* self;
        const FolderSnapshot* listing;
        ~KeepLast()
        {
            Current& last = self->current_;
            if (last.listing != listing) return;
            last.listing = nullptr;
            last.name = nullptr;
            last.path = self->FichierCourant;
        }
    } keepLast{this, &listing};

    // Mask after mask: a file that matches two masks is reported twice. The masks are the
    // filter's as this folder began, whatever an event does to it.
    const std::string filter = Filtre;
    const std::ptrdiff_t folderFailures = std::ptrdiff_t(unreadable_.size());
    for (const std::string_view mask : platform::splitMasks(filter)) {
        if (Stop) break;
        for (const DirEntry& entry : listing.entries()) {
            if (!platform::matchesMask(entry.name, mask)) continue;
            platform::processMessages();
            // A stop pressed while messages were processed ends the walk before this entry.
            if (Stop) break;
            if (entry.isDirectory) continue;
            // A link that leads nowhere is no file; one the user may not follow is a file missed.
            if (entry.error == ENOENT || entry.error == ELOOP) continue;
            const std::size_t length = prefix.size() + entry.name.size();
            if (entry.error != 0 || length >= PATH_MAX) {
                std::string path = prefix + entry.name;
                // A file that two masks match is missed once.
                const auto missed = [&](const TScruteFailure& f) { return f.path == path; };
                if (std::none_of(unreadable_.begin() + folderFailures, unreadable_.end(), missed))
                    unreadable_.push_back({std::move(path), entry.error ? entry.error : ENAMETOOLONG, false});
                continue;
            }
            if (OnFichier) {
                FichierCourant.assign(prefix).append(entry.name);  // keeps its buffer from file to file
                // Size and date are looked up only if somebody asks for them.
                current_.listing = &listing;
                current_.name = &entry.name;
                current_.known = false;
                OnFichier(this, FichierCourant);
            }
        }
    }
}

void TScruteDossier::fetchSizeAndTime() const
{
    if (current_.known) return;
    current_.known = true;
    const bool found = current_.listing ? current_.listing->sizeAndTime(*current_.name, current_.size, current_.date)
                                        : platform::fileSizeAndTime(current_.path, current_.size, current_.date);
    if (!found) current_.size = current_.date = 0;
    current_.listing = nullptr;
    current_.name = nullptr;
    current_.path.clear();
}
