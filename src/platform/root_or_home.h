// Tells whether the current folder is one that a cleaning step must never walk: the root of a
// file system (a drive root on Windows) or the user's home folder itself. A stored browser path
// that points there is a mistake, and purging it would take the user's own files.
#pragma once

namespace brisvane::platform {

// Looks at the folder that is current now, so that the answer holds for whatever spelling of a
// path made it current. A current folder that cannot be identified counts as such a folder.
bool CurrentFolderIsRootOrHome();

} // namespace brisvane::platform
