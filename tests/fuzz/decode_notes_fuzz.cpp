// Any bytes at all as notes.bin: the decoder must stay inside them, and what it keeps must be
// exactly what those bytes say, so encoding it again, with each record's name field as the file
// has it, gives the same bytes back. What it reads out of a name field of this program's must lie
// inside that field.
#include "storage/note_codec.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        fprintf(stderr, "decode_notes_fuzz: %s\n", what);
        abort();
    }
}

uint32_t U32At(const uint8_t* data)
{
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8
         | static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

std::string Le32(size_t value)
{
    return { static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
             static_cast<char>(value >> 24) };
}

// The decoded notes with the name fields as the file holds them, found along the records' own
// lengths; the byte comparison afterwards checks every other field.
std::vector<StoredNote> WithFileNames(const uint8_t* data, size_t size, const std::vector<StoredNote>& notes)
{
    std::vector<StoredNote> raw = notes;
    size_t at = NOTE_FILE_HEADER_SIZE;
    for (StoredNote& note : raw) {
        Require(size >= 31 && at <= size - 31, "a record past the end of the file");
        const uint32_t nameLength = U32At(data + at + 23);
        Require(nameLength <= size - 31 - at, "a name past the end of the file");
        const std::string name(reinterpret_cast<const char*>(data + at + 27), nameLength);
        const bool ours = name.compare(0, NAME_MARKER_SIZE, NAME_MARKER, NAME_MARKER_SIZE) == 0;
        Require(note.name == (ours ? "" : name), "a name other than the file's");
        const std::pair<const char*, const std::string*> extras[] = {
            { "GUID", &note.extras.id }, { "UTF8", &note.extras.utf8 }, { "VERS", &note.extras.versions } };
        for (const auto& [tag, value] : extras) {
            if (!ours)
                Require(value->empty(), "an extra out of someone else's name");
            if (!value->empty())
                Require(name.find(tag + Le32(value->size()) + *value, NAME_MARKER_SIZE) != std::string::npos,
                        "an extra the name field does not hold");
        }
        note.name = name;
        note.extras = NoteExtras();
        at += 27 + nameLength;
        at += 4 + U32At(data + at);
    }
    return raw;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DecodedNotes decoded = DecodeNotes(data, size);

    if (size < NOTE_FILE_HEADER_SIZE) {
        Require(decoded.notes.empty() && !decoded.complete, "records from a file without a count");
        return 0;
    }
    // The records kept are the bytes right after the count, unchanged, and nothing past the end.
    const std::vector<uint8_t> again = EncodeNotes(WithFileNames(data, size, decoded.notes));
    Require(again.size() <= size, "more record bytes than the file holds");
    Require(memcmp(again.data() + NOTE_FILE_HEADER_SIZE, data + NOTE_FILE_HEADER_SIZE,
                   again.size() - NOTE_FILE_HEADER_SIZE) == 0,
            "re-encoded records differ from the bytes they came from");
    const uint32_t count = U32At(data);
    if (decoded.complete)
        Require(count == decoded.notes.size(), "complete, yet the count differs");
    else
        Require(count > decoded.notes.size(), "stopped early without a missing record");

    // What was kept, written as this program writes it, decodes to itself.
    const std::vector<uint8_t> written = EncodeNotes(decoded.notes);
    const DecodedNotes twice = DecodeNotes(written.data(), written.size());
    Require(twice.whole, "a file this program writes is not whole");
    Require(EncodeNotes(twice.notes) == written, "second round trip differs");
    return 0;
}
