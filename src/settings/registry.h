// TRegistry: the one accessor through which every registry access of the program goes. It
// addresses one root and holds at most one open key; values are read and written there.
#pragma once

#include "platform/win32.h"
#include "settings/exception.h"

#include <string>

class TRegistry {
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Closes the open key when the root changes; the same root again changes nothing.
    void SetRoot(HKEY root);
    HKEY Root() const { return m_root; }

    // A path starting with "\" is taken from the root; any other from the open key when one
    // is open, else from the root. On failure the key that was open stays open.
    bool OpenSubkey(const std::string& path, bool create);
    void CloseSubkey();
    bool HasOpenKey() const { return m_key != nullptr; }

    // "" for no open key, a missing value or one of size 0; raises for non-string types.
    std::string ReadText(const std::string& name);
    // Stores a REG_SZ; raises "Failed to set data for '%s'" on any failure.
    void WriteText(const std::string& name, const std::string& value);
    bool RemoveValue(const std::string& name);
    // Removes the key with everything below it, depth first; the open key is left as it was.
    bool RemoveKey(const std::string& path);

private:
    HKEY m_root;
    HKEY m_key = nullptr;
};
