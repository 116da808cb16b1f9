#include "storage/note_codec.h"
#include <algorithm>

namespace {

void PutU8(std::vector<uint8_t>& out, uint8_t value)
{
    out.push_back(value);
}

void PutU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutText(std::vector<uint8_t>& out, const std::string& text)
{
    PutU32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

// A chunk's tag and length.
constexpr size_t CHUNK_HEADER_SIZE = 8;

void PutChunk(std::vector<uint8_t>& out, const char (&tag)[5], const std::string& value)
{
    if (value.empty())
        return;
    out.insert(out.end(), tag, tag + 4);
    PutText(out, value);
}

// The extras where there are any, else the name. The length goes in once the chunks are written.
void PutName(std::vector<uint8_t>& out, const StoredNote& note)
{
    const size_t lengthAt = out.size();
    PutU32(out, 0);
    out.insert(out.end(), NAME_MARKER, NAME_MARKER + NAME_MARKER_SIZE);
    const size_t chunksAt = out.size();
    PutChunk(out, "GUID", note.extras.id);
    PutChunk(out, "UTF8", note.extras.utf8);
    PutChunk(out, "VERS", note.extras.versions);
    if (out.size() == chunksAt) {
        out.resize(lengthAt);
        PutText(out, note.name);
        return;
    }
    const uint32_t length = static_cast<uint32_t>(out.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i)
        out[lengthAt + i] = static_cast<uint8_t>(length >> (8 * i));
}

// Reads forward through a byte range; every read checks what is left first.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    bool U8(uint8_t& value)
    {
        if (left_ < 1)
            return false;
        value = *data_;
        Skip(1);
        return true;
    }

    bool U16(uint16_t& value)
    {
        if (left_ < 2)
            return false;
        value = static_cast<uint16_t>(data_[0] | data_[1] << 8);
        Skip(2);
        return true;
    }

    bool U32(uint32_t& value)
    {
        if (left_ < 4)
            return false;
        value = static_cast<uint32_t>(data_[0]) | static_cast<uint32_t>(data_[1]) << 8
              | static_cast<uint32_t>(data_[2]) << 16 | static_cast<uint32_t>(data_[3]) << 24;
        Skip(4);
        return true;
    }

    bool I32(int32_t& value)
    {
        uint32_t raw;
        if (!U32(raw))
            return false;
        value = static_cast<int32_t>(raw);
        return true;
    }

    bool Bytes(size_t count, std::string& bytes)
    {
        if (count > left_)
            return false;
        bytes.assign(reinterpret_cast<const char*>(data_), count);
        Skip(count);
        return true;
    }

    // A length larger than what is left counts as cut off, so nothing huge is ever allocated.
    bool Text(std::string& text)
    {
        uint32_t length;
        return U32(length) && Bytes(length, text);
    }

    size_t Left() const { return left_; }

private:
    void Skip(size_t count)
    {
        data_ += count;
        left_ -= count;
    }

    const uint8_t* data_;
    size_t left_;
};

// The chunks after the marker; false when one runs past the end of the field.
bool ReadExtras(const std::string& name, NoteExtras& extras)
{
    Reader in(reinterpret_cast<const uint8_t*>(name.data()) + NAME_MARKER_SIZE, name.size() - NAME_MARKER_SIZE);
    std::string tag, value;
    while (in.Left()) {
        if (!in.Bytes(4, tag) || !in.Text(value))
            return false;
        // An identity or a version of another size is none this program gave.
        if (tag == "GUID" && value.size() == NOTE_ID_SIZE)
            extras.id = std::move(value);
        else if (tag == "UTF8")
            extras.utf8 = std::move(value);
        else if (tag == "VERS" && value.size() % NOTE_ID_SIZE == 0)
            extras.versions = std::move(value);
    }
    return true;
}

// False when the record is cut off. A damaged name field of this program's is no name either.
bool ReadRecord(Reader& in, StoredNote& note, bool& damaged)
{
    if (!(in.I32(note.x) && in.I32(note.y) && in.U32(note.color) && in.U8(note.state)
          && in.U16(note.year) && in.U16(note.month) && in.U16(note.day)
          && in.U16(note.hour) && in.U16(note.minute)
          && in.Text(note.name) && in.Text(note.text)))
        return false;
    if (note.name.compare(0, NAME_MARKER_SIZE, NAME_MARKER, NAME_MARKER_SIZE) == 0) {
        if (!ReadExtras(note.name, note.extras)) {
            note.extras = NoteExtras();
            damaged = true;
        }
        note.name.clear();
    }
    return true;
}

} // namespace

std::vector<uint8_t> EncodeNotes(const std::vector<StoredNote>& notes)
{
    size_t size = NOTE_FILE_HEADER_SIZE;
    for (const StoredNote& note : notes)
        size += NOTE_RECORD_FIXED_SIZE + note.name.size() + note.text.size()
              + NAME_MARKER_SIZE + 3 * CHUNK_HEADER_SIZE + note.extras.id.size() + note.extras.utf8.size()
              + note.extras.versions.size();
    std::vector<uint8_t> out;
    out.reserve(size);
    PutU32(out, static_cast<uint32_t>(notes.size()));
    for (const StoredNote& note : notes) {
        PutU32(out, static_cast<uint32_t>(note.x));
        PutU32(out, static_cast<uint32_t>(note.y));
        PutU32(out, note.color);
        PutU8(out, note.state);
        PutU16(out, note.year);
        PutU16(out, note.month);
        PutU16(out, note.day);
        PutU16(out, note.hour);
        PutU16(out, note.minute);
        PutName(out, note);
        PutText(out, note.text);
    }
    return out;
}

DecodedNotes DecodeNotes(const uint8_t* data, size_t size)
{
    DecodedNotes result;
    Reader in(data, size);
    uint32_t count;
    if (!in.U32(count))
        return result;
    // The count is not trusted for the reservation: each record needs at least 31 bytes.
    result.notes.reserve(std::min<size_t>(count, in.Left() / NOTE_RECORD_FIXED_SIZE));
    bool damaged = false;
    for (uint32_t i = 0; i < count; ++i) {
        StoredNote note;
        if (!ReadRecord(in, note, damaged))
            return result;
        result.notes.push_back(std::move(note));
    }
    result.complete = true;
    result.whole = in.Left() == 0 && !damaged;
    return result;
}
