// Preloaded into mp3norm: the file system cannot swap two names, as exFAT and some network and
// FUSE file systems cannot (the swap fails with EINVAL); every other rename goes through.
#define _GNU_SOURCE
#include <errno.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

int renameat2(int oldFolder, const char* oldName, int newFolder, const char* newName, unsigned int flags)
{
    if (flags & RENAME_EXCHANGE) {
        errno = EINVAL;
        return -1;
    }
    return (int)syscall(SYS_renameat2, oldFolder, oldName, newFolder, newName, flags);
}
