#include "cleaner/typed_urls.h"

#include "platform/wine_browsers.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"

void RemoveTypedUrls() {
    TRegistry registry;
    registry.SetRoot(HKEY_CURRENT_USER);
    registry.RemoveKey(layout::kTypedUrlsKey);
    registry.CloseSubkey();
    // On Linux the list that Internet Explorer reads lies in its Wine prefix.
    brisvane::platform::RemoveTypedUrlsInWinePrefix();
}
