// Applying a .reg document's edits to a key tree (reg_import.h).
#include "platform/posix/reg_import.h"

namespace brisvane::platform::hive {

Key& EditApplier::SectionKey(const std::vector<std::string>& path, bool& created) {
    created = false;
    if (!m_sectionKey || path != m_sectionPath) {
        m_sectionKey = &m_root.Create(path, &created);
        m_sectionPath = path;
    }
    return *m_sectionKey;
}

std::optional<ParseError> EditApplier::Apply(const RegEdit& edit) {
    if (!NamesEqual(edit.rootName, m_rootName))
        return std::nullopt;
    return ApplyToRoot(edit);
}

std::optional<ParseError> EditApplier::ApplyToRoot(const RegEdit& edit) {
    bool created = false;
    switch (edit.kind) {
    case RegEdit::Kind::CreateKey:
        SectionKey(edit.path, created);
        m_changed = m_changed || created;
        break;
    case RegEdit::Kind::DeleteKey: {
        if (edit.path.empty())
            return ParseError{edit.line, "a root key cannot be deleted"};
        // The kept key may lie below the one deleted.
        m_sectionKey = nullptr;
        std::vector<std::string> parent(edit.path.begin(), edit.path.end() - 1);
        if (Key* key = m_root.Find(parent))
            m_changed = key->RemoveSubkey(edit.path.back()) || m_changed;
        break;
    }
    case RegEdit::Kind::SetValue: {
        Key& key = SectionKey(edit.path, created);
        const bool set = key.SetValue(edit.value.name, edit.value.type, edit.value.data);
        m_changed = m_changed || created || set;
        break;
    }
    case RegEdit::Kind::DeleteValue:
        if (Key* key =
                m_sectionKey && edit.path == m_sectionPath ? m_sectionKey : m_root.Find(edit.path))
            m_changed = key->RemoveValue(edit.value.name) || m_changed;
        break;
    }
    return std::nullopt;
}

std::optional<ParseError> ApplyEdits(const std::vector<RegEdit>& edits, std::string_view rootName,
                                     Key& root, bool* changed) {
    EditApplier applier(rootName, root);
    std::optional<ParseError> error;
    for (const RegEdit& edit : edits)
        if ((error = applier.Apply(edit)))
            break;
    if (changed)
        *changed = applier.Changed();
    return error;
}

std::optional<ParseError> OtherRootFault(const RegEdit& edit, std::string_view rootName) {
    if (edit.partsAsBefore > 0 || NamesEqual(edit.rootName, rootName))
        return std::nullopt;
    return ParseError{edit.line, "a key outside " + std::string(rootName)};
}

} // namespace brisvane::platform::hive
