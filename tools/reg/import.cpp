// brisvane-reg import: applies a .reg file to the hives it names, each in one change.
#include "platform/posix/file_io.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"
#include "shared.h"

#include <ostream>
#include <unistd.h>

namespace tools::reg {

namespace {

namespace posix = brisvane::platform::posix;

// The .reg file to import, read once per pass. A regular file is read anew in chunks at every
// pass and never held whole; a pipe can be read only once, so it is kept.
class ImportFile {
public:
    explicit ImportFile(const std::string& path) {
        if (posix::OpenRegularFile(path, m_file) == posix::FileRead::Read)
            return;
        m_file.Reset(-1);
        m_readable = posix::ReadFileOrPipe(path, m_content);
    }
    bool Readable() const { return m_readable; }

    // Parses the whole file; unreadable tells whether a read failed on the way.
    std::optional<hive::ParseError> Parse(const hive::EditSink& sink, bool& unreadable) const {
        unreadable = false;
        if (m_file.Get() < 0)
            return hive::ParseRegDocument(m_content, sink);
        off_t offset = 0;
        const hive::ByteSource source = [&](char* buffer, std::size_t size) -> std::size_t {
            const ssize_t got = pread(m_file.Get(), buffer, size, offset);
            unreadable = unreadable || got < 0;
            if (got <= 0)
                return 0;
            offset += got;
            return static_cast<std::size_t>(got);
        };
        return hive::ParseRegStream(source, sink);
    }

private:
    posix::Descriptor m_file;
    std::string m_content;
    bool m_readable = true;
};

// What one reading of a .reg file found, in the order its faults are named: syntax first, then
// a root other than the two hives, then an edit the hive refuses.
struct ImportReading {
    std::optional<hive::ParseError> syntax;
    std::optional<hive::ParseError> unknownRoot;
    std::optional<hive::ParseError> refused;
    bool unreadable = false;
    bool roots[2] = {false, false};

    bool Names(hive::Root root) const { return roots[static_cast<int>(root)]; }
    bool Faulty() const { return unreadable || syntax || unknownRoot || refused; }
};

// Reads the whole document once, noting its roots and applying the edits of root through
// applier when one is given (none after a fault).
ImportReading ReadImport(const ImportFile& content, hive::Root root, hive::EditApplier* applier) {
    ImportReading reading;
    reading.syntax = content.Parse(
        [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
            const auto named = hive::RootFromName(edit.rootName);
            if (!named) {
                if (!reading.unknownRoot)
                    reading.unknownRoot = hive::ParseError{edit.line, edit.rootName};
            } else {
                reading.roots[static_cast<int>(*named)] = true;
                if (applier && *named == root && !reading.Faulty())
                    reading.refused = applier->ApplyToRoot(edit);
            }
            return std::nullopt;
        },
        reading.unreadable);
    return reading;
}

// The root of the first edit, found without reading further.
std::optional<hive::Root> FirstRoot(const ImportFile& content) {
    std::optional<hive::Root> first;
    bool unreadable = false;
    content.Parse(
        [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
            first = hive::RootFromName(edit.rootName);
            return hive::ParseError{edit.line, {}};
        },
        unreadable);
    return first;
}

void ThrowIfUnreadable(const std::string& file, const ImportReading& reading) {
    if (reading.unreadable)
        throw CommandError("Cannot read " + file + ".");
    if (reading.syntax)
        throw CommandError(file + " line " + std::to_string(reading.syntax->line) + ": " +
                           reading.syntax->reason + ". Nothing was imported.");
    if (reading.unknownRoot)
        throw CommandError(file + " line " + std::to_string(reading.unknownRoot->line) + ": " +
                           reading.unknownRoot->reason +
                           " is not HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE" +
                           ". Nothing was imported.");
}

// Imports the edits of root within one locked change of its hive, reading the document in the
// same pass. Nothing is written when the reading finds a fault or when stopBefore names a root
// the document also holds.
LONG ImportInto(hive::Root root, const ImportFile& content, ImportReading& reading, bool& read,
                std::optional<hive::Root> stopBefore = std::nullopt) {
    read = false;
    return hive::ChangeHive(root, [&](hive::Key& hiveRoot, bool& changed) -> LONG {
        hive::EditApplier applier(hive::RootName(root), hiveRoot);
        reading = ReadImport(content, root, &applier);
        read = true;
        changed = applier.Changed();
        const bool stop = stopBefore && reading.Names(*stopBefore);
        return reading.Faulty() || stop ? static_cast<LONG>(ERROR_INVALID_PARAMETER)
                                        : ERROR_SUCCESS;
    });
}

} // namespace

// The current user's hive is imported before the machine's. A file is read once per hive it
// names, in chunks, the first time together with the check of the whole file, and none of its
// edits are kept in a list: a file of any size and shape costs time in proportion to its length
// and memory in proportion to the hive it makes.
int Import(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "");
    if (options.positional.size() != 1)
        throw UsageError("import takes exactly one .reg file");
    const std::string& file = options.positional.front();
    const ImportFile content(file);
    if (!content.Readable())
        throw CommandError("Cannot read " + file + ".");
    auto rootError = [](hive::Root root) {
        return KeyName{root, {}, {}, std::string(hive::RootName(root))};
    };
    auto throwIfRefused = [&](const ImportReading& reading) {
        if (reading.unreadable)
            throw CommandError("Cannot read " + file + ".");
        if (reading.refused)
            throw CommandError(file + " line " + std::to_string(reading.refused->line) + ": " +
                               reading.refused->reason + ".");
    };

    const std::optional<hive::Root> first = FirstRoot(content);
    std::vector<hive::Root> rest;
    if (first) {
        // A file that starts with the machine's keys and also holds the user's goes the long
        // way below, so that the user's hive still comes first.
        std::optional<hive::Root> stopBefore;
        if (*first == hive::Root::LocalMachine)
            stopBefore = hive::Root::CurrentUser;
        ImportReading reading;
        bool read = false;
        LONG rc = ImportInto(*first, content, reading, read, stopBefore);
        if (!read)
            reading = ReadImport(content, *first, nullptr);
        ThrowIfUnreadable(file, reading);
        throwIfRefused(reading);
        if (stopBefore && reading.Names(*stopBefore)) {
            rest = {hive::Root::CurrentUser, hive::Root::LocalMachine};
        } else {
            Check(rc, rootError(*first));
            if (*first == hive::Root::CurrentUser && reading.Names(hive::Root::LocalMachine))
                rest = {hive::Root::LocalMachine};
        }
    } else {
        // No edit, or a fault before the first: the check alone says which.
        ThrowIfUnreadable(file, ReadImport(content, hive::Root::CurrentUser, nullptr));
    }
    for (hive::Root root : rest) {
        ImportReading reading;
        bool read = false;
        LONG rc = ImportInto(root, content, reading, read);
        throwIfRefused(reading);
        Check(rc, rootError(root));
    }
    io.out << kDone << "\n";
    return 0;
}

} // namespace tools::reg
