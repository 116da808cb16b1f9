#include "storage/note_text.h"
#include <windows.h>

static std::string MultiByte(UINT codePage, const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// False for bytes that are not valid in the code page (asked only of UTF-8).
static bool Wide(UINT codePage, DWORD flags, const std::string& bytes, std::wstring& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (size <= 0)
        return false;
    text.resize(size);
    MultiByteToWideChar(codePage, flags, bytes.data(), length, &text[0], size);
    return true;
}

std::string CodePageText(const std::wstring& text)
{
    return MultiByte(CP_ACP, text);
}

std::wstring WideText(const std::string& codePageText)
{
    std::wstring text;
    Wide(CP_ACP, 0, codePageText, text);
    return text;
}

void PutNoteText(const std::wstring& text, StoredNote& stored)
{
    stored.text = CodePageText(text);
    stored.extras.utf8.clear();
    if (WideText(stored.text) != text)
        stored.extras.utf8 = MultiByte(CP_UTF8, text);
}

std::wstring NoteTextOf(const StoredNote& stored)
{
    std::wstring exact;
    if (!stored.extras.utf8.empty() && Wide(CP_UTF8, MB_ERR_INVALID_CHARS, stored.extras.utf8, exact)
        && CodePageText(exact) == stored.text)
        return exact;
    return WideText(stored.text);
}
