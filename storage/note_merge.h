// Two copies of the program on one synced folder: their collections merged note by note, by each
// note's identity, three ways against the collection both came from. Needs no window.
//
//   a note changed on one side only          takes that side (place, colour and text each apart)
//   place or colour changed on both sides    this side's
//   text changed on both sides               this side's, and the other's as a new note beside it
//   deleted on one side, unchanged on other  goes
//   deleted on one side, changed on other    stays, changed
//   added on either side                     stays
//   without a common collection (base null) nothing is taken as deleted, and every text that
//                                            differs is kept beside
//
// A note open on this side keeps its place (a full note stands where its window is). Notes of
// the other side without an identity (an older version, another program) are this side's notes
// of the same time and text.
#pragma once
#include "storage/note_codec.h"
#include <functional>
#include <string>
#include <vector>

struct MergedNotes {
    // The other side's order, then what only this side has, in its order, then the texts kept
    // beside.
    std::vector<StoredNote> notes;
    size_t keptBeside = 0;      // texts changed on both sides
};

// newId: a fresh identity for a text kept beside, and for a note of theirs that has none.
MergedNotes MergeNotes(const std::vector<StoredNote>* base, const std::vector<StoredNote>& mine,
                       std::vector<StoredNote> theirs, const std::function<std::string()>& newId);

// Whether two notes say the same in every field the other side can change; in their text.
bool SameNote(const StoredNote& a, const StoredNote& b);
bool SameNoteText(const StoredNote& a, const StoredNote& b);
