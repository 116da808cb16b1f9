// The notes.bin format: a 4-byte count, then one record per note, little-endian throughout.
//   x, y (int32)  colour (uint32)  state (uint8)  year, month, day, hour, minute (uint16)
//   name length (uint32) + name bytes   text length (uint32) + text bytes
// No signature, no terminators, nothing after the last record. Needs no window.
//
// The name field, which no note of this program has ever used for a name, carries what the other
// fields cannot: NAME_MARKER (a NUL, which no real name starts with, then "Memovky"), then
// chunks of a 4-byte ASCII tag, a uint32 length and that many bytes. A chunk this version does
// not know is skipped, so later versions can add their own. A field without the marker is
// someone else's name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the name field carries; an empty value is not written. A new tag is one field here and
// one case in the reader and in the writer (storage/note_codec.cpp).
struct NoteExtras {
    std::string id;         // "GUID": the note's identity, NOTE_ID_SIZE bytes that never change
    std::string utf8;       // "UTF8": the exact text, where the text field cannot hold it
    std::string versions;   // "VERS": on the first record, the file's version and those it came
                            // from, newest first, NOTE_ID_SIZE bytes each
};

constexpr size_t NOTE_ID_SIZE = 16;

// A note's state, as stored and as its record holds it.
enum : uint8_t {
    NOTE_PACKED = 1,        // shown as a mark
    NOTE_EXPANDED = 16,     // shown as a full note window
};

struct StoredNote {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t color = 0;
    uint8_t state = 0;
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::string name;       // someone else's name; written only where there are no extras
    std::string text;       // in the ANSI code page, as every reader of the format expects
    NoteExtras extras;
};

constexpr char NAME_MARKER[] = "\0Memovky";
constexpr size_t NAME_MARKER_SIZE = sizeof NAME_MARKER - 1;

constexpr size_t NOTE_FILE_HEADER_SIZE = 4;
constexpr size_t NOTE_RECORD_FIXED_SIZE = 31;   // a record with empty name and text

std::vector<uint8_t> EncodeNotes(const std::vector<StoredNote>& notes);

struct DecodedNotes {
    std::vector<StoredNote> notes;  // every complete record, in file order
    bool complete = false;          // false when the file ended before the count was reached
    bool whole = false;             // complete, no extras damaged, nothing after the last record
};

// Never reads outside data[0, size): a record that is cut off, or whose lengths run past the
// end, ends the decoding; the records before it are kept. A name field with the marker whose
// chunks run past its end is damaged: none of its extras are kept, and the file is not whole.
DecodedNotes DecodeNotes(const uint8_t* data, size_t size);
