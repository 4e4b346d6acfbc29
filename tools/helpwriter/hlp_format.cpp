#include "hlp_format.h"

namespace tools::helpwriter {

namespace {

// Letters count 17..42 whatever their case, digits 1..9 with '0' as 10, '.' 12 and '_' 13.
std::optional<std::uint32_t> CharacterWeight(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 17;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 17;
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c == '0')
        return 10;
    if (c == '.')
        return 12;
    if (c == '_')
        return 13;
    return std::nullopt;
}

} // namespace

bool IsContextNameValid(std::string_view name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!CharacterWeight(c))
            return false;
    return true;
}

std::int32_t ContextHash(std::string_view name) {
    if (name.empty())
        return 1;
    std::uint32_t hash = 0; // unsigned so that the wrap-around the format relies on is defined
    for (char c : name)
        hash = hash * 43 + CharacterWeight(c).value_or(0);
    return static_cast<std::int32_t>(hash);
}

} // namespace tools::helpwriter
