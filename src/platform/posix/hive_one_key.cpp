// Cutting a hive's edits down to one key (hive_one_key.h).
#include "platform/posix/hive_one_key.h"

#include <algorithm>

namespace brisvane::platform::hive {

bool OneKeyApplier::OnTheWay(const RegEdit& edit) {
    const std::vector<std::string>& path = edit.path;
    const std::size_t unchanged = edit.partsAsBefore > 0 ? edit.partsAsBefore - 1 : 0;
    if (m_differs && unchanged > m_agreeing)
        return false;
    const std::size_t shorter = std::min(path.size(), m_path.size());
    std::size_t at = std::min(m_agreeing, unchanged);
    while (at < shorter && NamesEqual(path[at], m_path[at]))
        ++at;
    m_agreeing = at;
    m_differs = at < shorter;
    return !m_differs;
}

bool OneKeyApplier::Wanted(const std::string& valueName) const {
    return !m_onlyValue || NamesEqual(valueName, *m_onlyValue);
}

std::optional<ParseError> OneKeyApplier::Pass(const RegEdit& edit) {
    if (!m_kept)
        return m_applier->ApplyToRoot(edit);
    m_kept->push_back(edit);
    // Kept edits no longer follow each other.
    m_kept->back().partsAsBefore = 0;
    return std::nullopt;
}

std::optional<ParseError> OneKeyApplier::Create(const RegEdit& edit, std::size_t parts) {
    m_cut.kind = RegEdit::Kind::CreateKey;
    m_cut.line = edit.line;
    m_cut.path.assign(edit.path.begin(), edit.path.begin() + static_cast<std::ptrdiff_t>(parts));
    return Pass(m_cut);
}

std::optional<ParseError> OneKeyApplier::ApplyToRoot(const RegEdit& edit) {
    const bool onTheWay = OnTheWay(edit);
    const std::size_t depth = edit.path.size();
    const std::size_t key = m_path.size();
    if (edit.kind == RegEdit::Kind::CreateKey || edit.kind == RegEdit::Kind::DeleteKey)
        m_sectionValuesWanted = onTheWay && depth == key;
    if (!onTheWay)
        return std::nullopt;
    // Below the key only its direct subkey counts, by name.
    const std::size_t kept = std::min(depth, key + 1);
    switch (edit.kind) {
    case RegEdit::Kind::CreateKey:
        return depth == kept ? Pass(edit) : Create(edit, kept);
    case RegEdit::Kind::SetValue:
        // A value's key was made by its section just before: another key's value, or a value
        // not asked for, changes nothing here.
        return depth == key && Wanted(edit.value.name) ? Pass(edit) : std::nullopt;
    case RegEdit::Kind::DeleteKey:
        // Deleting deeper leaves the direct subkey as it was.
        return depth == kept ? Pass(edit) : std::nullopt;
    case RegEdit::Kind::DeleteValue:
        return depth == key && Wanted(edit.value.name) ? Pass(edit) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace brisvane::platform::hive
