#include "notes/text_measure.h"
#include <cwchar>
#include <string>

SIZE MeasureTextLines(const wchar_t* text, const LineMeasure& measure)
{
    std::wstring copy(text);
    const size_t end = copy.size();
    LONG widest = 0, height = 0;
    // Lines are measured up to the zero that replaced their CR, as far as the copy goes.
    auto addLine = [&](size_t start) {
        const wchar_t* line = copy.c_str() + start;
        SIZE size = measure(line, static_cast<int>(wcslen(line)));
        if (size.cx > widest)
            widest = size.cx;
        height += size.cy;
    };

    size_t start = 0, i = 0;
    bool lastLineMeasured = false;
    while (i < end) {
        if (copy[i] != L'\r') {
            ++i;
            continue;
        }
        copy[i] = L'\0';
        addLine(start);
        if (i + 1 >= end) {
            lastLineMeasured = true;
            break;
        }
        i += 2;
        // After a CR LF at the very end the start stays, so the last line counts twice.
        if (i < end)
            start = i;
    }
    if (!lastLineMeasured)
        addLine(start);

    if (widest != 0)
        return { widest + 5, height + 8 };
    SIZE whole = measure(text, static_cast<int>(wcslen(text)));
    return { whole.cx + 5, whole.cy + 10 };
}

SIZE MeasureNoteText(HDC dc, const wchar_t* text)
{
    return MeasureTextLines(text, [dc](const wchar_t* line, int length) {
        SIZE size = { 0, 0 };
        GetTextExtentPoint32W(dc, line, length, &size);
        return size;
    });
}
