// Two sides' collections merged note by note against the collection both came from.
#include "storage/note_merge.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A note as the rows write it: identity, place, colour and text; open (a full note) or a mark.
StoredNote N(const char* id, int32_t x, const char* text, uint32_t color = 1, bool open = false)
{
    StoredNote note;
    note.extras.id = id;
    note.x = x;
    note.y = 50;
    note.color = color;
    note.text = text;
    note.state = open ? 16 : 1;
    note.year = 2026;
    note.month = 12;
    note.day = 9;
    note.hour = 8;
    note.minute = x % 60;
    return note;
}

// "id:text@x#colour", one a note, in order.
std::string Describe(const std::vector<StoredNote>& notes)
{
    std::string all;
    for (const StoredNote& note : notes)
        all += (all.empty() ? "" : " ") + note.extras.id + ":" + note.text + "@" + std::to_string(note.x) + "#"
             + std::to_string(note.color);
    return all;
}

using Notes = std::vector<StoredNote>;

struct Row {
    const char* what;
    bool hasBase;
    Notes base, mine, theirs;
    const char* merged;
    size_t keptBeside;
};

TEST(NoteMerge, EachNoteTakesTheSideThatChangedIt)
{
    const StoredNote a = N("a", 10, "první"), b = N("b", 20, "druhá"), c = N("c", 30, "třetí");
    const Row rows[] = {
        { "nothing changed", true, { a, b }, { a, b }, { a, b }, "a:první@10#1 b:druhá@20#1", 0 },
        { "added there", true, { a }, { a }, { a, b }, "a:první@10#1 b:druhá@20#1", 0 },
        { "added here", true, { a }, { a, c }, { a }, "a:první@10#1 c:třetí@30#1", 0 },
        { "added on both sides: theirs first", true, { a }, { a, c }, { a, b }, "a:první@10#1 b:druhá@20#1 c:třetí@30#1", 0 },
        { "deleted there, unchanged here", true, { a, b }, { a, b }, { a }, "a:první@10#1", 0 },
        { "deleted here, unchanged there", true, { a, b }, { a }, { a, b }, "a:první@10#1", 0 },
        { "deleted there, changed here", true, { a, b }, { a, N("b", 20, "dopsaná") }, { a }, "a:první@10#1 b:dopsaná@20#1", 0 },
        { "deleted here, changed there", true, { a, b }, { a }, { a, N("b", 20, "dopsaná") }, "a:první@10#1 b:dopsaná@20#1", 0 },
        { "text changed there", true, { a }, { a }, { N("a", 10, "jinak") }, "a:jinak@10#1", 0 },
        { "text changed here", true, { a }, { N("a", 10, "jinak") }, { a }, "a:jinak@10#1", 0 },
        { "moved here, recoloured there", true, { a }, { N("a", 99, "první") }, { N("a", 10, "první", 7) }, "a:první@99#7", 0 },
        { "moved there, recoloured here", true, { a }, { N("a", 10, "první", 7) }, { N("a", 99, "první") }, "a:první@99#7", 0 },
        { "moved and recoloured on both sides: this side's", true, { a }, { N("a", 40, "první", 3) },
          { N("a", 99, "první", 7) }, "a:první@40#3", 0 },
        { "open here, moved there: its window stays", true, { a }, { N("a", 10, "první", 1, true) },
          { N("a", 99, "první") }, "a:první@10#1", 0 },
        { "text changed on both sides: theirs beside", true, { a, b }, { N("a", 10, "moje"), b }, { N("a", 10, "jejich"), b },
          "a:moje@10#1 b:druhá@20#1 new1:jejich@34#1", 1 },
        { "every note deleted there", true, { a, b }, { a, b }, {}, "", 0 },
        { "the first notes, there", true, {}, {}, { a }, "a:první@10#1", 0 },
        { "no common collection: nothing deleted, texts kept beside", false, {}, { N("a", 10, "moje"), c },
          { N("a", 10, "jejich"), b }, "a:moje@10#1 b:druhá@20#1 c:třetí@30#1 new1:jejich@34#1", 1 },
        { "no common collection, the same notes", false, {}, { a, b }, { b, a }, "b:druhá@20#1 a:první@10#1", 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        int fresh = 0;
        const MergedNotes merged = MergeNotes(row.hasBase ? &row.base : nullptr, row.mine, row.theirs,
                                              [&] { return "new" + std::to_string(++fresh); });
        EXPECT_EQ(row.merged, Describe(merged.notes));
        EXPECT_EQ(row.keptBeside, merged.keptBeside);
    }
}

// An older version of the program, or another one, writes no identities: its notes are known by
// their time and text; a text changed there reads as the note deleted and another added.
TEST(NoteMerge, NotesWithoutIdentityAreKnownByTimeAndText)
{
    const StoredNote a = N("a", 10, "první"), b = N("b", 20, "druhá"), c = N("c", 30, "třetí");
    StoredNote theirA = a, theirB = N("", 20, "druhá, dopsaná"), theirNew = N("", 45, "nová");
    theirA.extras.id.clear();
    const Notes base = { a, b, c };
    int fresh = 0;
    const MergedNotes merged = MergeNotes(&base, base, { theirA, theirB, theirNew }, [&] { return "new" + std::to_string(++fresh); });
    EXPECT_EQ("a:první@10#1 new1:druhá, dopsaná@20#1 new2:nová@45#1", Describe(merged.notes))
        << "b and c were deleted there, b's text came back as another note";

    // Two notes of one identity (a copied record): the second is another note.
    const MergedNotes twice = MergeNotes(&base, base, { a, N("a", 25, "kopie"), b, c }, [&] { return "dup"; });
    EXPECT_EQ("a:první@10#1 dup:kopie@25#1 b:druhá@20#1 c:třetí@30#1", Describe(twice.notes));
}

} // namespace
