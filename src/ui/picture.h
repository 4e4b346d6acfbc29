// Pictures from the program's own artwork. A picture is named by its file in data/; each
// backend builds the artwork into the program its own way (Qt resources, a resource script)
// and finds it by that name.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TPicture {
public:
    TPicture() = default;
    explicit TPicture(std::string artwork) : m_artwork(std::move(artwork)) {}

    const std::string& Artwork() const { return m_artwork; }
    bool Empty() const { return m_artwork.empty(); }

private:
    std::string m_artwork;
};

// An icon: the same picture drawn at several sizes.
class TIcon {
public:
    void Add(int size, TPicture picture) { m_sizes.push_back({size, std::move(picture)}); }
    bool Empty() const { return m_sizes.empty(); }
    // The picture drawn for that size, or an empty one.
    TPicture At(int size) const {
        for (const auto& [drawnFor, picture] : m_sizes)
            if (drawnFor == size)
                return picture;
        return {};
    }
    const std::vector<std::pair<int, TPicture>>& Sizes() const { return m_sizes; }

private:
    std::vector<std::pair<int, TPicture>> m_sizes;
};
