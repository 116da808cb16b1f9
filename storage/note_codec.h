// The notes.bin format: a 4-byte count, then one record per note, little-endian throughout.
//   x, y (int32)  colour (uint32)  state (uint8)  year, month, day, hour, minute (uint16)
//   name length (uint32) + name bytes   text length (uint32) + text bytes
// No signature, no terminators, nothing after the last record. Needs no window.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StoredNote {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t color = 0;
    uint8_t state = 0;
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::string name;
    std::string text;
};

constexpr size_t NOTE_FILE_HEADER_SIZE = 4;
constexpr size_t NOTE_RECORD_FIXED_SIZE = 31;   // a record with empty name and text

std::vector<uint8_t> EncodeNotes(const std::vector<StoredNote>& notes);

struct DecodedNotes {
    std::vector<StoredNote> notes;  // every complete record, in file order
    bool complete = false;          // false when the file ended before the count was reached
    bool whole = false;             // complete, and nothing follows the last record
};

// Never reads outside data[0, size): a record that is cut off, or whose lengths run past the
// end, ends the decoding; the records before it are kept.
DecodedNotes DecodeNotes(const uint8_t* data, size_t size);
