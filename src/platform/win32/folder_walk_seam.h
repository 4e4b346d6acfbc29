// Lets a test act in the moment between EnterSubfolder's checks of a subfolder and its entering
// it, the moment another program would have to hit to swap the folder for a junction or link.
#pragma once

namespace brisvane::platform::win32 {

using BeforeEnteringHook = void (*)(const char* name);

// Calls `hook` with the entry's name after EnterSubfolder has checked it and before it makes
// it current; nullptr removes it. Returns the hook that was installed before.
BeforeEnteringHook SetBeforeEnteringHook(BeforeEnteringHook hook);

} // namespace brisvane::platform::win32
