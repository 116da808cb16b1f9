// Which text a loaded note gets: the exact text only where it still gives the text field back.
#include "storage/note_text.h"
#include <gtest/gtest.h>

namespace {

TEST(NoteText, TheExactTextIsUsedOnlyWhereItGivesTheTextFieldBack)
{
    const struct {
        const char* what;
        std::string text, utf8;
        std::wstring loaded;
    } cases[] = {
        { "no exact text", "žluťoučký", "", L"žluťoučký" },
        { "the exact text", "Ahoj ??????", u8"Ahoj Привет", L"Ahoj Привет" },
        { "text field changed by another program", "Ahoj Petře", u8"Ahoj Привет", L"Ahoj Petře" },
        { "one character changed", "Ahoj ?????x", u8"Ahoj Привет", L"Ahoj ?????x" },
        { "invalid UTF-8", "a?", "a\xC3\x28", L"a?" },
        { "a surrogate encoded alone", "?", "\xED\xA0\xBD", L"?" },
        { "an empty exact text beside a text", "x", "", L"x" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StoredNote stored;
        stored.text = c.text;
        stored.extras.utf8 = c.utf8;
        EXPECT_TRUE(NoteTextOf(stored) == c.loaded);
    }
}

} // namespace
