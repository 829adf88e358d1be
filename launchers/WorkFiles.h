// The files a launcher makes while it works: hidden files beside the user's files and links in
// its private folder. Their names are short (".<tool>-XXXXXX"), so that a file whose name is as
// long as the system allows still gets one beside it. None outlives the run. A signal that ends
// the launcher (SIGHUP, SIGINT, SIGQUIT, SIGTERM) removes them and passes the signal on to the
// tool it runs. A launcher killed outright leaves them listed in its private folder, and the next
// run of either launcher removes what that list names, as long as it is still the very file made
// then: a user's file under a name like ours is never taken for one of them.
#pragma once

#include <string>

namespace launch {

// Clears what killed runs left, then makes this run's private folder "<tool>-XXXXXX" in $TMPDIR
// (default /tmp) and takes the signals. False, errno set, when the folder could not be made.
bool beginWork(const char* tool);

// The private folder, without a trailing "/".
const std::string& workFolder();

// A new empty file (mode 0600, closed on exec) with a short hidden name in the folder open as
// `folderFd`, whose absolute path is `folderPath`: its descriptor, or -1 with errno set. `name`
// is its name in that folder.
int newWorkFile(int folderFd, const std::string& folderPath, std::string& name);

// A symbolic link `name` in the private folder to `target`: its path, or empty with errno set.
std::string newWorkLink(const std::string& target, const std::string& name);

// From here on a signal waits for the end of the run, so that what is being put in place is put
// there whole; the run ends by itself soon after.
void holdSignals();

// Removes the work files and links that are still what was made, and the private folder.
void endWork();

}  // namespace launch
