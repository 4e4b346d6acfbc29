#include "paths/browser_paths.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

#include <memory>

namespace {

using Prefix = brisvane::platform::WinePrefixBrowsers;

BrowserPathDetection ShellFolder(const char* value) {
    return {.root = HKEY_CURRENT_USER,
            .key = layout::kShellFoldersKey,
            .namingValue = nullptr,
            .namedKeyPath = nullptr,
            .value = value};
}

} // namespace

const std::array<BrowserPathRow, kBrowserPathCount> kBrowserPaths = {{
    {.storedValue = layout::kIeCookiePath,
     .detection = ShellFolder(layout::kShellCookies),
     .wineFolder = &Prefix::cookies},
    {.storedValue = layout::kIeFavoritesPath,
     .detection = ShellFolder(layout::kShellFavorites),
     .wineFolder = &Prefix::favorites},
    {.storedValue = layout::kIeHistoryPath,
     .detection = ShellFolder(layout::kShellHistory),
     .wineFolder = &Prefix::history},
    {.storedValue = layout::kIeCachePath,
     .detection = ShellFolder(layout::kShellCache),
     .wineFolder = &Prefix::cache},
    {.storedValue = layout::kNetscape4Path,
     .detection = {.root = HKEY_LOCAL_MACHINE,
                   .key = layout::kNetscapeUsersKey,
                   .namingValue = layout::kNetscapeCurrentUser,
                   .namedKeyPath = NetscapeUserKeyPath,
                   .value = layout::kNetscapeDirRoot},
     .wineFolder = &Prefix::netscapeUser},
    {.storedValue = layout::kNetscape3Path,
     .detection = {.root = HKEY_LOCAL_MACHINE,
                   .key = layout::kNetscapeProductKey,
                   .namingValue = layout::kNetscapeCurrentVersion,
                   .namedKeyPath = NetscapeVersionKeyPath,
                   .value = layout::kNetscapeInstallDirectory},
     .wineFolder = &Prefix::netscapeInstall},
}};

std::string NetscapeUserKeyPath(const std::string& currentUser) {
    return std::string(layout::kNetscapeUsersKey) + "\\" + currentUser;
}

std::string NetscapeVersionKeyPath(const std::string& currentVersion) {
    return std::string(layout::kNetscapeProductKey) + "\\" + currentVersion +
           layout::kNetscapeVersionKeySuffix;
}

namespace {

std::unique_ptr<TRegistry> OpenDetectionKey(HKEY root, const std::string& path) {
    auto registry = std::make_unique<TRegistry>();
    registry->SetRoot(root);
    registry->OpenSubkeyReadOnly(path);
    return registry;
}

// Each Netscape row asks its naming key afresh, whatever the Paths key holds.
std::string ReadNamedKeyPath(const BrowserPathDetection& detection) {
    TRegistry naming;
    naming.SetRoot(detection.root);
    naming.OpenSubkeyReadOnly(detection.key);
    const std::string name = naming.ReadText(detection.namingValue);
    naming.CloseSubkey();
    return detection.namedKeyPath(name);
}

// Windows always has the key; on Linux only someone who imported a Windows registry does.
bool HasOwnShellFolders() {
    TRegistry shellFolders;
    shellFolders.SetRoot(HKEY_CURRENT_USER);
    return shellFolders.OpenSubkeyReadOnly(layout::kShellFoldersKey);
}

// The rows as a Wine prefix names them; stored paths still win.
void DiscoverPrefixPaths(TRegistry& stored, const Prefix& prefix, const BrowserPathSink& setEdit) {
    for (std::size_t row = 0; row < kBrowserPaths.size(); ++row) {
        std::string text = stored.ReadText(kBrowserPaths[row].storedValue);
        if (text.empty())
            text = prefix.*kBrowserPaths[row].wineFolder;
        setEdit(row, text);
    }
}

} // namespace

void DiscoverBrowserPaths(const BrowserPathSink& setEdit) {
    TRegistry stored;
    stored.OpenSubkeyReadOnly(layout::kPathsKey);
    if (!HasOwnShellFolders()) {
        if (const Prefix* prefix = brisvane::platform::ChosenWinePrefix()) {
            DiscoverPrefixPaths(stored, *prefix, setEdit);
            stored.CloseSubkey();
            return;
        }
    }

    // Rows that read the same fixed key share one accessor; a named key is opened per row.
    std::unique_ptr<TRegistry> detected;
    const char* sharedKey = nullptr;
    for (std::size_t row = 0; row < kBrowserPaths.size(); ++row) {
        const BrowserPathDetection& detection = kBrowserPaths[row].detection;
        const bool named = detection.namingValue != nullptr;
        if (named || detection.key != sharedKey) {
            if (detected)
                detected->CloseSubkey();
            detected = OpenDetectionKey(detection.root,
                                        named ? ReadNamedKeyPath(detection) : detection.key);
            sharedKey = named ? nullptr : detection.key;
        }

        std::string text = stored.ReadText(kBrowserPaths[row].storedValue);
        if (text.empty())
            text = detected->ReadText(detection.value);
        setEdit(row, text);
    }
    detected->CloseSubkey();
    stored.CloseSubkey();
}

BrowserPathTexts WinePrefixPaths(const Prefix& prefix) {
    BrowserPathTexts texts;
    for (std::size_t row = 0; row < kBrowserPaths.size(); ++row)
        texts[row] = prefix.*kBrowserPaths[row].wineFolder;
    return texts;
}

void WriteBrowserPaths(const BrowserPathTexts& texts) {
    TRegistry registry;
    registry.OpenSubkey(layout::kPathsKey, true);
    for (std::size_t row = 0; row < kBrowserPaths.size(); ++row)
        registry.WriteText(kBrowserPaths[row].storedValue, texts[row]);
    registry.CloseSubkey();
}

void RemoveBrowserPaths() {
    TRegistry registry;
    registry.RemoveKey(layout::kPathsKeyForReset);
    registry.CloseSubkey();
}
