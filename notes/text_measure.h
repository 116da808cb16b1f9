// How big the preview of a note's text must be.
#pragma once
#include <windows.h>
#include <functional>

// Measures one line of the given length in pixels.
using LineMeasure = std::function<SIZE(const wchar_t* line, int length)>;

// Only CR ends a line (the character after it, the LF, is skipped); a trailing CR LF measures
// the last line once more. Widest line + 5 by the sum of heights + 8; when no line has any width,
// the whole text in one piece + 5 by its height + 10. Nothing past the text's end is read, also
// when it ends in a lone CR (that CR ends the last line).
SIZE MeasureTextLines(const wchar_t* text, const LineMeasure& measure);

// The same with the font selected into dc.
SIZE MeasureNoteText(HDC dc, const wchar_t* text);
