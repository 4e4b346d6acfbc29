#include "cleaner/typed_urls.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

void RemoveTypedUrls() {
    TRegistry registry;
    registry.SetRoot(HKEY_CURRENT_USER);
    registry.RemoveKey(layout::kTypedUrlsKey);
    registry.CloseSubkey();
}
