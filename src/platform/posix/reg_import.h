// Applies the edits of a .reg document to a key tree, as regedit imports them.
#pragma once

#include "platform/posix/hive_key.h"
#include "platform/posix/reg_text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

// Applies edits of one root one at a time; edits of other roots are passed over. The key of
// the last section is kept, so that a section's values cost no walk from the root.
class EditApplier {
public:
    EditApplier(std::string_view rootName, Key& root) : m_rootName(rootName), m_root(root) {}
    // Deleting the root itself is refused.
    std::optional<ParseError> Apply(const RegEdit& edit);
    // The same for an edit already known to be of this root, whatever its spelling.
    std::optional<ParseError> ApplyToRoot(const RegEdit& edit);
    // Whether any edit so far changed the tree.
    bool Changed() const { return m_changed; }

private:
    Key& SectionKey(const std::vector<std::string>& path, bool& created);

    std::string m_rootName;
    Key& m_root;
    std::vector<std::string> m_sectionPath;
    Key* m_sectionKey = nullptr;
    bool m_changed = false;
};

// The fault of an edit of another root than rootName. An edit whose root is written as the one
// before's was found right already.
std::optional<ParseError> OtherRootFault(const RegEdit& edit, std::string_view rootName);

// The faults of a hive's edits besides its syntax, as reading it in turn names them: a key of
// another root before any edit the tree refused. Once either is found, no edit is applied.
struct EditFaults {
    std::optional<ParseError> outside;
    std::optional<ParseError> refused;

    template <typename Apply>
    void Take(const RegEdit& edit, std::string_view rootName, Apply& apply) {
        if (!outside)
            outside = OtherRootFault(edit, rootName);
        if (!outside && !refused)
            refused = apply.ApplyToRoot(edit);
    }
    std::optional<ParseError> First() const { return outside ? outside : refused; }
};

// Applies the edits of one root. Deleting the root itself is refused. changed, when given,
// tells whether the tree changed.
std::optional<ParseError> ApplyEdits(const std::vector<RegEdit>& edits, std::string_view rootName,
                                     Key& root, bool* changed = nullptr);

} // namespace brisvane::platform::hive
