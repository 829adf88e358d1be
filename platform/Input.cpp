#include "Input.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int openRegularFile(const std::string& path, int how)
{
    const int fd = open(path.c_str(), how | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0) error = errno;
    else if (S_ISDIR(st.st_mode)) error = EISDIR;
    else if (!S_ISREG(st.st_mode)) error = NotRegularFile;
    if (error) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

int openForReading(const std::string& path) { return openRegularFile(path, O_RDONLY); }

int openForChanging(const std::string& path) { return openRegularFile(path, O_RDWR); }

int openForWriting(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : NotRegularFile;
        return -1;
    }
    // Should something be planted meanwhile, the open still never waits: a FIFO without a reader
    // fails (ENXIO), one with a reader opens at once and is refused below.
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0666);
    if (fd < 0) {
        if (errno == ENXIO) errno = NotRegularFile;
        return -1;
    }
    int error = 0;
    if (fstat(fd, &st) != 0) error = errno;
    else if (!S_ISREG(st.st_mode)) error = NotRegularFile;
    else if (const int flags = fcntl(fd, F_GETFL); flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int readWholeFile(const std::string& path, std::size_t limit, std::string& out)
{
    out.clear();
    const int fd = openForReading(path);
    if (fd < 0) return errno;
    int error = 0;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) error = errno;
            break;
        }
        out.append(buffer, std::size_t(n));
        if (out.size() > limit) {
            error = EFBIG;
            break;
        }
    }
    close(fd);
    if (error) out.clear();
    return error;
}

namespace {

const char* verbOf(FileAction action)
{
    switch (action) {
    case FileAction::Open: return "Impossible d'ouvrir le fichier ";
    case FileAction::Read: return "Impossible de lire le fichier ";
    case FileAction::Create: return "Impossible de créer le fichier ";
    case FileAction::Write: return "Impossible d'écrire le fichier ";
    case FileAction::Replace: return "Impossible de remplacer le fichier ";
    case FileAction::Lock: return "Impossible de verrouiller le fichier ";
    case FileAction::CreateFolder: return "Impossible de créer le dossier ";
    }
    return "Impossible d'utiliser le fichier ";
}

// Every control character of the text, U+0080 to U+009F as UTF-8 gives them included, replaced.
std::string withoutControls(std::string_view text, std::string_view substitute)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool secondSet = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                               static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || secondSet) {
            out += substitute;
            if (secondSet) ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}

}  // namespace

std::string fileFailureText(FileAction action, const std::string& path, int error)
{
    return fileFailureText(action, path, errorText(error));
}

std::string fileFailureText(FileAction action, const std::string& path, const std::string& why)
{
    return verbOf(action) + printableName(path) + " : " + why;
}

std::string renameFailureText(const std::string& from, const std::string& to, int error)
{
    return "Impossible de renommer le fichier " + printableName(from) + " en " + printableName(to) + " : " +
           errorText(error);
}

std::string errorText(int error)
{
    switch (error) {
    case NotRegularFile: return "N'est pas un fichier ordinaire";
    case ReadOnlyFile: return "Fichier protégé en écriture";
    case ENOENT: return "Fichier ou dossier introuvable";
    case EISDIR: return "Est un dossier";
    case ENOTDIR: return "Un élément du chemin n'est pas un dossier";
    case EACCES: return "Permission refusée";
    case EPERM: return "Opération non permise";
    case EROFS: return "Système de fichiers en lecture seule";
    case ENOSPC: return "Plus de place sur le disque";
    case EDQUOT: return "Quota de disque dépassé";
    case EFBIG: return "Fichier trop volumineux";
    case EIO: return "Erreur d'entrée-sortie";
    case ENAMETOOLONG: return "Nom de fichier trop long";
    case ELOOP: return "Trop de niveaux de liens symboliques";
    case EMFILE:
    case ENFILE: return "Trop de fichiers ouverts";
    case EEXIST: return "Le fichier existe déjà";
    case EBUSY: return "Périphérique ou ressource occupé";
    case ENOMEM: return "Mémoire insuffisante";
    case EINVAL: return "Argument non valide";
    case EXDEV: return "Lien entre deux systèmes de fichiers impossible";
    case ETXTBSY: return "Fichier texte occupé";
    case ECONNREFUSED: return "Connexion refusée";
    case ECONNRESET: return "Connexion réinitialisée par le correspondant";
    case ETIMEDOUT: return "Délai d'attente dépassé";
    case ENETUNREACH: return "Réseau inaccessible";
    case EHOSTUNREACH: return "Hôte inaccessible";
    case EPROTONOSUPPORT: return "Protocole non pris en charge";
    case ECANCELED: return "Opération annulée";
    default: return "Erreur système n° " + std::to_string(error);
    }
}

std::string printable(std::string_view text) { return withoutControls(text, "?"); }

std::string printableName(std::string_view name) { return withoutControls(name, "\u23ce"); }

}  // namespace platform
