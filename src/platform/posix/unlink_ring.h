// Unlinks handed to the kernel together through io_uring, so that where a file system makes
// each unlink wait on the disk the waits overlap. One ring serves the whole process.
#pragma once

#include <string>
#include <vector>

namespace brisvane::platform::posix {

// Why no ring can take unlinks here (io_uring missing or refused, or without unlinkat); empty
// when one can. The ring is set up on the first call.
std::string UnlinkRingRefusal();

// Unlinks every one of `names` in the folder open as `folder`, as unlinkat with flags 0 would,
// and returns once every one is done. Results are not told. Without a ring, one by one.
void UnlinkAllAt(int folder, const std::vector<std::string>& names);

} // namespace brisvane::platform::posix
