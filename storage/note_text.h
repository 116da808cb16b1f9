// A note's text between the Unicode edit box and notes.bin: the text field holds it in the ANSI
// code page, as an ANSI edit box would give it, and the exact text rides beside it, in UTF-8,
// only where the code page cannot hold it.
#pragma once
#include "storage/note_codec.h"
#include <string>

// Best fit, and '?' where there is none: what GetWindowTextA gives.
std::string CodePageText(const std::wstring& text);
std::wstring WideText(const std::string& codePageText);

// The text field, and the exact text where the code page does not give the text back.
void PutNoteText(const std::wstring& text, StoredNote& stored);
// The exact text where it is valid UTF-8 and gives the text field back in the code page (another
// program may have changed the text and kept the name field); otherwise the text field.
std::wstring NoteTextOf(const StoredNote& stored);
