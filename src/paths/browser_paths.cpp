#include "paths/browser_paths.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

#include <memory>

namespace {

BrowserPathDetection ShellFolder(const char* value) {
    return {HKEY_CURRENT_USER, layout::kShellFoldersKey, nullptr, nullptr, value};
}

} // namespace

const std::array<BrowserPathRow, kBrowserPathCount> kBrowserPaths = {{
    {layout::kIeCookiePath,
     1,
     ShellFolder(layout::kShellCookies),
     5,
     "Select your Internet Explorer cookie folder from the list below...",
     "Cookie:",
     {0, 8, 32}},
    {layout::kIeFavoritesPath,
     2,
     ShellFolder(layout::kShellFavorites),
     7,
     "Select your Internet Explorer favorites folder from the list below...",
     "Favorites:",
     {0, 216, 32}},
    {layout::kIeHistoryPath,
     3,
     ShellFolder(layout::kShellHistory),
     6,
     "Select your Internet Explorer history folder from the list below...",
     "History:",
     {0, 8, 72}},
    {layout::kIeCachePath,
     4,
     ShellFolder(layout::kShellCache),
     8,
     "Select your Internet Explorer cache folder from the list below...",
     "Cache:",
     {0, 216, 72}},
    {layout::kNetscapeOnePath,
     5,
     {HKEY_LOCAL_MACHINE, layout::kNetscapeUsersKey, layout::kNetscapeCurrentUser,
      NetscapeUserKeyPath, layout::kNetscapeDirRoot},
     10,
     "Select your Netscape Navigator v4.x directory from the list below...",
     "Netscape v4.x Directory:",
     {1, 8, 32}},
    {layout::kNetscapeTwoPath,
     6,
     {HKEY_LOCAL_MACHINE, layout::kNetscapeProductKey, layout::kNetscapeCurrentVersion,
      NetscapeVersionKeyPath, layout::kNetscapeInstallDirectory},
     9,
     "Select your Netscape Navigator v3.x folder from the list below...",
     "Netsape v3.x Netscape Directory:",
     {1, 216, 32}},
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
    registry->OpenSubkey(path, false);
    return registry;
}

// Each Netscape row asks its naming key afresh, whatever the Paths key holds.
std::string ReadNamedKeyPath(const BrowserPathDetection& detection) {
    TRegistry naming;
    naming.SetRoot(detection.root);
    naming.OpenSubkey(detection.key, false);
    const std::string name = naming.ReadText(detection.namingValue);
    naming.CloseSubkey();
    return detection.namedKeyPath(name);
}

} // namespace

void DiscoverBrowserPaths(const BrowserPathSink& setEdit) {
    TRegistry stored;
    stored.OpenSubkey(layout::kPathsKey, false);

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
