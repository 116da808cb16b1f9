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

    // A length larger than what is left counts as cut off, so nothing huge is ever allocated.
    bool Text(std::string& text)
    {
        uint32_t length;
        if (!U32(length) || length > left_)
            return false;
        text.assign(reinterpret_cast<const char*>(data_), length);
        Skip(length);
        return true;
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

bool ReadRecord(Reader& in, StoredNote& note)
{
    return in.I32(note.x) && in.I32(note.y) && in.U32(note.color) && in.U8(note.state)
        && in.U16(note.year) && in.U16(note.month) && in.U16(note.day)
        && in.U16(note.hour) && in.U16(note.minute)
        && in.Text(note.name) && in.Text(note.text);
}

} // namespace

std::vector<uint8_t> EncodeNotes(const std::vector<StoredNote>& notes)
{
    size_t size = NOTE_FILE_HEADER_SIZE;
    for (const StoredNote& note : notes)
        size += NOTE_RECORD_FIXED_SIZE + note.name.size() + note.text.size();
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
        PutText(out, note.name);
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
    for (uint32_t i = 0; i < count; ++i) {
        StoredNote note;
        if (!ReadRecord(in, note))
            return result;
        result.notes.push_back(std::move(note));
    }
    result.complete = true;
    result.whole = in.Left() == 0;
    return result;
}
