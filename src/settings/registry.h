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
    // The same without create, asking only to read (KEY_READ): a standard user, and an
    // administrator not running elevated, may read HKEY_LOCAL_MACHINE but not open it with full
    // access. Writes through a key opened this way fail.
    bool OpenSubkeyReadOnly(const std::string& path);
    // The system's answer to the last open: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a missing
    // key, ERROR_ACCESS_DENIED where the access asked for was refused, ...
    LONG LastOpenResult() const { return m_lastOpen; }
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
    bool Open(const std::string& path, bool create, REGSAM access);

    HKEY m_root;
    HKEY m_key = nullptr;
    LONG m_lastOpen = ERROR_SUCCESS;
};
