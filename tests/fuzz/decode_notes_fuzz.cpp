// Any bytes at all as notes.bin: the decoder must stay inside them, and what it keeps must be
// exactly what those bytes say, so encoding it again gives the same bytes back.
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

uint32_t CountOf(const uint8_t* data)
{
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8
         | static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DecodedNotes decoded = DecodeNotes(data, size);
    const std::vector<uint8_t> again = EncodeNotes(decoded.notes);

    if (size < NOTE_FILE_HEADER_SIZE) {
        Require(decoded.notes.empty() && !decoded.complete, "records from a file without a count");
        return 0;
    }
    // The records kept are the bytes right after the count, unchanged, and nothing past the end.
    Require(again.size() <= size, "more record bytes than the file holds");
    Require(memcmp(again.data() + NOTE_FILE_HEADER_SIZE, data + NOTE_FILE_HEADER_SIZE,
                   again.size() - NOTE_FILE_HEADER_SIZE) == 0,
            "re-encoded records differ from the bytes they came from");
    const uint32_t count = CountOf(data);
    if (decoded.complete)
        Require(count == decoded.notes.size(), "complete, yet the count differs");
    else
        Require(count > decoded.notes.size(), "stopped early without a missing record");

    // What was kept decodes to itself.
    const DecodedNotes twice = DecodeNotes(again.data(), again.size());
    Require(twice.complete, "a re-encoded file is not complete");
    Require(EncodeNotes(twice.notes) == again, "second round trip differs");
    return 0;
}
