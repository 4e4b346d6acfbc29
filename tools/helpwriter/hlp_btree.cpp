#include "hlp_btree.h"

#include <algorithm>

namespace tools::helpwriter {

namespace {

// The pages of a tree as they are laid out, leaves first, and the entry each page starts with.
class TreePages {
public:
    TreePages(std::uint16_t pageSize, const std::vector<BtreeEntry>& entries)
        : m_pageSize(pageSize), m_entries(entries) {}

    // The leaf pages, each linked to the one before and after it.
    void PutLeaves() {
        std::size_t next = 0;
        do {
            const std::size_t page = m_firstEntryOfPage.size();
            const std::size_t start = m_pages.size();
            m_firstEntryOfPage.push_back(next);
            m_pages.resize(start + 8, 0);
            std::uint16_t count = 0;
            while (next < m_entries.size() &&
                   m_pages.size() - start + m_entries[next].leaf.size() <= m_pageSize) {
                m_pages.insert(m_pages.end(), m_entries[next].leaf.begin(),
                               m_entries[next].leaf.end());
                ++next;
                ++count;
            }
            const std::uint16_t previous =
                page == 0 ? 0xFFFF : static_cast<std::uint16_t>(page - 1);
            const std::uint16_t following =
                next < m_entries.size() ? static_cast<std::uint16_t>(page + 1) : 0xFFFF;
            FillPage(start, count);
            SetU32(m_pages, start + 4, previous | (static_cast<std::uint32_t>(following) << 16));
        } while (next < m_entries.size());
    }

    // Index pages above the leaves, one level at a time, until a level has one page: the root.
    // Returns the number of levels, the leaves' included.
    int PutIndexLevels() {
        std::size_t levelStart = 0;
        std::size_t levelEnd = m_firstEntryOfPage.size();
        int levels = 1;
        while (levelEnd - levelStart > 1) {
            ++levels;
            std::size_t child = levelStart;
            while (child < levelEnd)
                PutIndexPage(child, levelEnd);
            levelStart = levelEnd;
            levelEnd = m_firstEntryOfPage.size();
        }
        return levels;
    }

    const Bytes& Pages() const { return m_pages; }
    std::size_t PageCount() const { return m_firstEntryOfPage.size(); }

private:
    // One index page over the children from child on, as many as fit; moves child past them.
    void PutIndexPage(std::size_t& child, std::size_t levelEnd) {
        const std::size_t start = m_pages.size();
        m_firstEntryOfPage.push_back(m_firstEntryOfPage[child]);
        m_pages.resize(start + 6, 0);
        m_pages[start + 4] = static_cast<std::uint8_t>(child);
        m_pages[start + 5] = static_cast<std::uint8_t>(child >> 8);
        ++child;
        std::uint16_t count = 0;
        while (child < levelEnd) {
            const Bytes& key = m_entries[m_firstEntryOfPage[child]].key;
            if (m_pages.size() - start + key.size() + 2 > m_pageSize)
                break;
            m_pages.insert(m_pages.end(), key.begin(), key.end());
            PutU16(m_pages, static_cast<std::uint32_t>(child));
            ++child;
            ++count;
        }
        FillPage(start, count);
    }

    // Pads the page that starts at pageStart to its size and writes the unused bytes and the
    // entry count into its header.
    void FillPage(std::size_t pageStart, std::uint16_t count) {
        const std::size_t unused = pageStart + m_pageSize - m_pages.size();
        m_pages.resize(pageStart + m_pageSize, 0);
        m_pages[pageStart] = static_cast<std::uint8_t>(unused);
        m_pages[pageStart + 1] = static_cast<std::uint8_t>(unused >> 8);
        m_pages[pageStart + 2] = static_cast<std::uint8_t>(count);
        m_pages[pageStart + 3] = static_cast<std::uint8_t>(count >> 8);
    }

    const std::uint16_t m_pageSize;
    const std::vector<BtreeEntry>& m_entries;
    Bytes m_pages;
    std::vector<std::size_t> m_firstEntryOfPage;
};

} // namespace

Bytes BuildBtree(std::uint16_t flags, std::uint16_t pageSize, std::string_view structure,
                 const std::vector<BtreeEntry>& entries) {
    TreePages tree(pageSize, entries);
    tree.PutLeaves();
    const int levels = tree.PutIndexLevels();

    const std::size_t pageCount = tree.PageCount();
    Bytes out;
    PutU16(out, kBtreeMagic);
    PutU16(out, flags);
    PutU16(out, pageSize);
    Bytes format(16, 0);
    std::copy(structure.begin(), structure.end(), format.begin());
    out.insert(out.end(), format.begin(), format.end());
    PutU16(out, 0);
    PutU16(out, static_cast<std::uint32_t>(pageCount - levels)); // page splits
    PutU16(out, static_cast<std::uint32_t>(pageCount - 1));      // the root
    PutU16(out, 0xFFFF);
    PutU16(out, static_cast<std::uint32_t>(pageCount));
    PutU16(out, static_cast<std::uint32_t>(levels));
    PutU32(out, static_cast<std::uint32_t>(entries.size()));
    out.insert(out.end(), tree.Pages().begin(), tree.Pages().end());
    return out;
}

} // namespace tools::helpwriter
