#include "lz77.h"

#include <stdexcept>

namespace tools::helpwriter {

namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kHashSize = 1 << 12;
constexpr int kNone = -1;
// Enough candidates to find the long repeats in help text without a quadratic search.
constexpr int kMaxCandidates = 256;

std::size_t Hash3(const std::uint8_t* at) {
    return ((at[0] << 8) ^ (at[1] << 4) ^ at[2]) & (kHashSize - 1);
}

struct Match {
    std::size_t length = 0;
    std::size_t distance = 0;
};

} // namespace

Bytes CompressLz77(const std::uint8_t* data, std::size_t size) {
    Bytes out;
    std::vector<int> head(kHashSize, kNone);
    std::vector<int> previous(size, kNone);
    auto insert = [&](std::size_t at) {
        if (at + kMinMatch > size)
            return;
        const std::size_t h = Hash3(data + at);
        previous[at] = head[h];
        head[h] = static_cast<int>(at);
    };
    auto longest = [&](std::size_t at) {
        Match best;
        if (at + kMinMatch > size)
            return best;
        const std::size_t limit = std::min(kMaxMatch, size - at);
        int candidate = head[Hash3(data + at)];
        for (int tries = 0; candidate != kNone && tries < kMaxCandidates; ++tries) {
            const std::size_t from = static_cast<std::size_t>(candidate);
            if (at - from > kWindow)
                break;
            std::size_t length = 0;
            while (length < limit && data[from + length] == data[at + length])
                ++length;
            if (length > best.length)
                best = {length, at - from};
            if (length == limit)
                break;
            candidate = previous[from];
        }
        return best;
    };

    std::size_t flagAt = 0;
    int item = 8;
    std::size_t at = 0;
    while (at < size) {
        if (item == 8) {
            flagAt = out.size();
            out.push_back(0);
            item = 0;
        }
        const Match match = longest(at);
        if (match.length >= kMinMatch) {
            out[flagAt] |= static_cast<std::uint8_t>(1 << item);
            PutU16(out, ((match.length - kMinMatch) << 12) | (match.distance - 1));
            for (std::size_t i = 0; i < match.length; ++i)
                insert(at + i);
            at += match.length;
        } else {
            out.push_back(data[at]);
            insert(at);
            ++at;
        }
        ++item;
    }
    return out;
}

Bytes DecompressLz77(const std::uint8_t* data, std::size_t size, std::size_t limit) {
    Bytes out;
    std::size_t at = 0;
    while (at < size && out.size() < limit) {
        const std::uint8_t flags = data[at++];
        for (int item = 0; item < 8 && at < size && out.size() < limit; ++item) {
            if ((flags & (1 << item)) == 0) {
                out.push_back(data[at++]);
                continue;
            }
            if (at + 2 > size)
                throw std::runtime_error("LZ77 data ends inside a copy");
            const std::uint16_t word = GetU16(data + at);
            at += 2;
            const std::size_t length = (word >> 12) + kMinMatch;
            const std::size_t distance = (word & 0xFFF) + 1;
            if (distance > out.size())
                throw std::runtime_error("LZ77 copy reaches before the start of the block");
            for (std::size_t i = 0; i < length && out.size() < limit; ++i)
                out.push_back(out[out.size() - distance]);
        }
    }
    return out;
}

} // namespace tools::helpwriter
