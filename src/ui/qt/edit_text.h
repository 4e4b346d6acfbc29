// The text of an edit field as bytes. Registry values and paths are bytes in the system's code
// page; what a Windows export stores (0xFC for "ü") is not UTF-8, and decoding it as UTF-8
// would replace it and change the value on the next write.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <vector>

namespace ui {

class ByteText {
public:
    // Takes the bytes and gives the text to show: UTF-8 where they are UTF-8, every other byte
    // as its Windows-1252 character.
    QString Load(const std::string& bytes);
    // Follows one change of the shown text: the unchanged beginning and end keep the bytes they
    // were shown from, and only what changed in between is encoded as UTF-8.
    void Edit(const QString& edited);
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    QString m_shown;
    // Where each UTF-16 unit of m_shown starts in m_bytes (the second unit of a pair shares the
    // first's), then m_bytes.size().
    std::vector<std::size_t> m_offsets;
};

} // namespace ui
