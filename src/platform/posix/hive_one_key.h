// What a hive's edits mean for one key alone: its values and the names of its direct subkeys,
// without the rest of the tree, for reading one key of a large hive in little memory.
#pragma once

#include "platform/posix/hive_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisvane::platform::hive {

// Applies each edit of one root, cut down to what it does to the key at path, to a tree that
// holds only that key, the keys above it and its direct subkeys (empty). The key ends up with
// the values and subkeys that applying every edit in full would have given it; of its values
// only the one named onlyValue, when given.
class OneKeyApplier {
public:
    OneKeyApplier(std::string_view rootName, std::vector<std::string> path, Key& tree,
                  std::optional<std::string> onlyValue = std::nullopt)
        : m_path(std::move(path)), m_onlyValue(std::move(onlyValue)),
          m_applier(std::in_place, rootName, tree) {}
    // Keeps the edits cut down, in order, instead of applying them: for a part of the hive
    // read before the edits ahead of it are known. Applying them later gives the same key.
    OneKeyApplier(std::vector<std::string> path, std::optional<std::string> onlyValue,
                  std::vector<RegEdit>& kept)
        : m_path(std::move(path)), m_onlyValue(std::move(onlyValue)), m_kept(&kept) {}
    std::optional<ParseError> ApplyToRoot(const RegEdit& edit);
    // Whether the values of the key section applied last can change the key: they can only
    // where that section is the key itself.
    bool SectionValuesWanted() const { return m_sectionValuesWanted; }

private:
    // Whether the edit's path and the key's agree in every part the shorter of them has.
    bool OnTheWay(const RegEdit& edit);
    // Creating the first parts parts of path: what a deeper edit leaves on the way.
    std::optional<ParseError> Create(const RegEdit& edit, std::size_t parts);

    // Whether the key's value of this name is kept.
    bool Wanted(const std::string& valueName) const;
    // Applies or keeps an edit cut down.
    std::optional<ParseError> Pass(const RegEdit& edit);

    std::vector<std::string> m_path;
    std::optional<std::string> m_onlyValue;
    std::optional<EditApplier> m_applier;
    std::vector<RegEdit>* m_kept = nullptr;
    RegEdit m_cut;
    // Of the edit before: how many leading parts of its path agree with the key's, and whether
    // the next one differs. Parts that did not change since need no comparing again.
    std::size_t m_agreeing = 0;
    bool m_differs = false;
    bool m_sectionValuesWanted = true;
};

} // namespace brisvane::platform::hive
