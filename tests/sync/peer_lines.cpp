#include "tests/sync/peer_lines.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

static std::string Convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    const int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &utf16[0], wide);
    const int size = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, &converted[0], size, nullptr, nullptr);
    return converted;
}

std::string EscapeControls(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\t')
            escaped += "\\t";
        else if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            snprintf(code, sizeof code, "\\x%02X", byte);
            escaped += code;
        } else
            escaped += c;
    }
    return escaped;
}

std::string UnescapeControls(const std::string& escaped)
{
    std::string text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            text += escaped[i];
            continue;
        }
        const char code = escaped[++i];
        if (code == 'r')
            text += '\r';
        else if (code == 'n')
            text += '\n';
        else if (code == 't')
            text += '\t';
        else if (code == 'x' && i + 2 < escaped.size()) {
            text += static_cast<char>(strtol(escaped.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else
            text += code;
    }
    return text;
}

std::string EscapeText(const std::string& text)
{
    return EscapeControls(Convert(text, CP_ACP, CP_UTF8));
}

std::string UnescapeText(const std::string& escaped)
{
    return Convert(UnescapeControls(escaped), CP_UTF8, CP_ACP);
}

std::string FormatPeerNote(const PeerNote& note)
{
    char colour[8] = "-";
    if (note.colour != CLR_INVALID)
        snprintf(colour, sizeof colour, "%02X%02X%02X", GetRValue(note.colour), GetGValue(note.colour),
                 GetBValue(note.colour));
    char head[96];
    snprintf(head, sizeof head, "note %ld %ld %ld %ld %s %s ", note.rect.left, note.rect.top, note.rect.right,
             note.rect.bottom, note.packed ? "packed" : "open", colour);
    return head + EscapeText(note.text);
}

bool ParsePeerNote(const std::string& line, PeerNote* note)
{
    // Seven fields, each followed by one space, then the text (which may hold spaces).
    size_t text = 0;
    for (int field = 0; field < 7 && text != std::string::npos; ++field) {
        const size_t space = line.find(' ', text);
        text = space == std::string::npos ? space : space + 1;
    }
    long left, top, right, bottom;
    char state[8], colour[8];
    if (text == std::string::npos || line.compare(0, 5, "note ") != 0
        || sscanf(line.c_str(), "note %ld %ld %ld %ld %7s %7s", &left, &top, &right, &bottom, state, colour) != 6)
        return false;
    note->rect = { left, top, right, bottom };
    note->packed = strcmp(state, "packed") == 0;
    unsigned long rgb = 0;
    note->colour = strcmp(colour, "-") == 0 || sscanf(colour, "%lx", &rgb) != 1
                 ? CLR_INVALID : RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    note->text = UnescapeText(line.substr(text));
    return true;
}

std::vector<PeerNote> ParsePeerNotes(const std::vector<std::string>& lines)
{
    std::vector<PeerNote> notes;
    PeerNote note;
    for (const std::string& line : lines)
        if (ParsePeerNote(line, &note))
            notes.push_back(note);
    return notes;
}
