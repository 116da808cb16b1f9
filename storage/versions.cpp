#include "storage/versions.h"
#include <windows.h>
#include <algorithm>
#include <deque>
#include <utility>

// How many versions a file names, and how many this run keeps the notes of.
constexpr size_t CHAIN_LENGTH = 16;
constexpr size_t KNOWN_VERSIONS = 16;

static struct {
    std::string chain;      // of the file this run last read, wrote or took over
    std::vector<StoredNote> last;
    std::deque<std::pair<std::string, std::vector<StoredNote>>> known;
} Versions;

std::string NewUniqueId()
{
    GUID guid = {};
    CoCreateGuid(&guid);
    return std::string(reinterpret_cast<const char*>(&guid), sizeof guid);
}

static std::string VersionAt(const std::string& chain, size_t index)
{
    return chain.substr(index * NOTE_ID_SIZE, NOTE_ID_SIZE);
}

static size_t Length(const std::string& chain)
{
    return chain.size() / NOTE_ID_SIZE;
}

static void Know(const std::string& version, const std::vector<StoredNote>& notes)
{
    if (version.empty())
        return;
    Versions.known.emplace_back(version, notes);
    if (Versions.known.size() > KNOWN_VERSIONS)
        Versions.known.pop_front();
}

void StartVersions(const std::vector<StoredNote>& notes, const std::string& versions)
{
    Versions = {};
    Versions.chain = versions.substr(0, CHAIN_LENGTH * NOTE_ID_SIZE);
    Versions.last = notes;
    Know(VersionAt(versions, 0), notes);
}

const std::vector<StoredNote>& BaseFor(const std::string& versions, bool& known)
{
    known = true;
    for (size_t i = 0; i < Length(versions); ++i) {
        const std::string version = VersionAt(versions, i);
        for (auto it = Versions.known.rbegin(); it != Versions.known.rend(); ++it)
            if (it->first == version)
                return it->second;
    }
    known = false;
    return Versions.last;
}

// Two chains as one, newest first: each one's versions in turn, every version once.
static std::string Interleave(const std::string& a, const std::string& b)
{
    std::string chain;
    auto add = [&](const std::string& version) {
        for (size_t i = 0; i < Length(chain); ++i)
            if (VersionAt(chain, i) == version)
                return;
        if (Length(chain) < CHAIN_LENGTH)
            chain += version;
    };
    for (size_t i = 0; i < std::max(Length(a), Length(b)); ++i) {
        if (i < Length(a))
            add(VersionAt(a, i));
        if (i < Length(b))
            add(VersionAt(b, i));
    }
    return chain;
}

std::string StampNewVersion(std::vector<StoredNote>& notes)
{
    const std::string versions = Interleave(NewUniqueId(), Versions.chain);
    for (StoredNote& note : notes)
        note.extras.versions.clear();
    if (!notes.empty())
        notes[0].extras.versions = versions;
    return versions;
}

void WroteVersion(const std::vector<StoredNote>& notes, const std::string& versions)
{
    Versions.chain = versions;
    Versions.last = notes;
    Know(VersionAt(versions, 0), notes);
}

void TakeOverVersions(const std::vector<StoredNote>& notes, const std::string& versions)
{
    Versions.chain = Interleave(versions, Versions.chain);
    Versions.last = notes;
    Know(VersionAt(versions, 0), notes);
}
