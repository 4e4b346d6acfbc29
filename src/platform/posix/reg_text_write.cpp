// Writing a settled key tree as REGEDIT4 text, as regedit exports it (reg_text.h).
#include "platform/posix/reg_text.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace brisvane::platform::hive {

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (;;) {
        const std::size_t special = FindQuoteOrEscape(text);
        out += text.substr(0, special);
        if (special == std::string_view::npos)
            break;
        out += '\\';
        out += text[special];
        text.remove_prefix(special + 1);
    }
    out += '"';
}

// Exactly one text and its closing zero, with nothing a line of the file cannot hold.
bool FitsQuotedText(std::span<const BYTE> data) {
    if (data.empty() || data.back() != 0)
        return false;
    return std::none_of(data.begin(), data.end() - 1,
                        [](BYTE b) { return b == 0 || b == '\r' || b == '\n'; });
}

// Written straight into out, the line measured from lineStart: a hive of many values is
// written without a string per line.
void AppendHex(std::string& out, std::size_t lineStart, std::span<const BYTE> data) {
    constexpr std::size_t kWrapAt = 76;
    constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
        if (i + 1 < data.size()) {
            out += ',';
            if (out.size() - lineStart > kWrapAt) {
                out += "\\\r\n";
                lineStart = out.size();
                out += "  ";
            }
        }
    }
    out += "\r\n";
}

void AppendValue(std::string& out, const Value& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    if (value.type == REG_SZ && FitsQuotedText(value.data)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
        out += "\r\n";
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | value.data[static_cast<std::size_t>(i)];
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        out += text;
        out += "\r\n";
        return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
        out += prefix;
    }
    AppendHex(out, lineStart, value.data);
}

constexpr std::size_t kSerializeSlack = 64 * 1024;
// The text a sink is handed at a time.
constexpr std::size_t kSpillChunk = 1 << 20;

} // namespace

namespace {

// With sink, hands out on once it holds a chunk and starts it afresh; without, makes room.
bool Spill(std::string& out, const TextSink* sink) {
    if (!sink) {
        // A large hive's text grows fourfold, so that it is rarely moved; room not yet written
        // costs nothing.
        if (out.capacity() - out.size() < kSerializeSlack)
            out.reserve(std::max(out.capacity() * 4, kSerializeSlack * 4));
        return true;
    }
    if (out.size() < kSpillChunk)
        return true;
    if (!(*sink)(out))
        return false;
    out.clear();
    return true;
}

// The values of a key, a line each.
bool AppendValues(const Key& key, std::string& out, const TextSink* sink) {
    for (const Value& value : key.Values()) {
        AppendValue(out, value);
        if (sink && !Spill(out, sink))
            return false;
    }
    out += "\r\n";
    return true;
}

// One key's section: its name line and its values.
bool AppendSection(const Key& key, const std::string& name, std::string& out,
                   const TextSink* sink) {
    if (!Spill(out, sink))
        return false;
    out += '[';
    out += name;
    out += "]\r\n";
    return AppendValues(key, out, sink);
}

// The keys of a list lie wherever the arena had room when each was made, which for a shuffled
// import is anywhere: the pieces that writing the key at `at` reads are asked of the memory
// ahead, the key first, then its name and list of values, then their names and data, each
// stage once the stage before has had time to arrive.
void FetchAhead(std::span<Key* const> keys, std::size_t at) {
    constexpr std::size_t kKey = 12;
    constexpr std::size_t kPieces = 6;
    constexpr std::size_t kValues = 3;
    if (at + kKey < keys.size())
        __builtin_prefetch(keys[at + kKey]);
    if (at + kPieces < keys.size()) {
        const Key& key = *keys[at + kPieces];
        __builtin_prefetch(key.Name().Place());
        __builtin_prefetch(key.Values().data());
    }
    if (at + kValues < keys.size()) {
        const std::span<const Value> values = keys[at + kValues]->Values();
        for (std::size_t i = 0; i < std::min<std::size_t>(values.size(), 2); ++i) {
            __builtin_prefetch(values[i].name.Place());
            __builtin_prefetch(values[i].data.Place());
        }
    }
}

// Appends the sections of key and everything below it to out, spilled as it grows.
bool AppendSections(const Key& key, const std::string& fullName, std::string& out,
                    const TextSink* sink) {
    // Depth first with a stack of our own, as deep as the tree: each level is a key, the next
    // of its subkeys to write and the length its section name has in `name`, which grows and
    // shrinks as the walk goes down and up.
    struct Level {
        const Key* key;
        std::size_t next;
        std::size_t nameLength;
    };
    std::string name = fullName;
    if (!AppendSection(key, name, out, sink))
        return false;
    std::vector<Level> levels{{&key, 0, name.size()}};
    while (!levels.empty()) {
        Level& level = levels.back();
        const auto subkeys = level.key->Subkeys();
        if (level.next == subkeys.size()) {
            levels.pop_back();
            continue;
        }
        FetchAhead(subkeys, level.next);
        const Key& subkey = *subkeys[level.next++];
        name.resize(level.nameLength);
        name += '\\';
        name += subkey.Name();
        if (!AppendSection(subkey, name, out, sink))
            return false;
        levels.push_back({&subkey, 0, name.size()});
    }
    return true;
}

bool AppendHive(const Key& root, std::string_view rootName, std::string& out,
                const TextSink* sink) {
    out += kRegedit4Header;
    out += "\r\n\r\n";
    if (!root.Values().empty()) {
        out += '[';
        out += rootName;
        out += "]\r\n";
        if (!AppendValues(root, out, sink))
            return false;
    }
    for (const auto& subkey : root.Subkeys())
        if (!AppendSections(*subkey, std::string(rootName) + "\\" + std::string(subkey->Name()),
                            out, sink))
            return false;
    return true;
}

} // namespace

void SerializeKey(const Key& key, const std::string& fullName, std::string& out) {
    AppendSections(key, fullName, out, nullptr);
}

std::string SerializeHive(const Key& root, std::string_view rootName, std::size_t expectedSize) {
    std::string out;
    out.reserve(expectedSize);
    AppendHive(root, rootName, out, nullptr);
    return out;
}

bool SerializeHiveTo(const Key& root, std::string_view rootName, const TextSink& sink) {
    // Room for a whole chunk from the start: grown by doubling, the text would leave its
    // smaller block behind in the heap, still resident, for the rest of the write.
    std::string out;
    out.reserve(kSpillChunk + kSerializeSlack);
    return AppendHive(root, rootName, out, &sink) && (out.empty() || sink(out));
}

} // namespace brisvane::platform::hive
