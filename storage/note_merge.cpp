#include "storage/note_merge.h"
#include <map>
#include <set>
#include <utility>

namespace {

// Where a text kept beside goes: just right of its note's mark.
constexpr int32_t BESIDE = 24;

bool SamePlace(const StoredNote& a, const StoredNote& b) { return a.x == b.x && a.y == b.y; }
bool SameTime(const StoredNote& a, const StoredNote& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

void TakePlace(StoredNote& into, const StoredNote& from)
{
    into.x = from.x;
    into.y = from.y;
}

void TakeText(StoredNote& into, const StoredNote& from)
{
    into.text = from.text;
    into.extras.utf8 = from.extras.utf8;
}

using Index = std::map<std::string, const StoredNote*>;

Index IndexOf(const std::vector<StoredNote>& notes)
{
    Index index;
    for (const StoredNote& note : notes)
        index.emplace(note.extras.id, &note);
    return index;
}

const StoredNote* Find(const Index& index, const std::string& id)
{
    const auto found = index.find(id);
    return found == index.end() ? nullptr : found->second;
}

// Notes of theirs without an identity take the identity of the note of ours with the same time and
// text; the rest are other notes, with new identities (a text changed there then reads as that
// note deleted and another added: the same notes either way).
void GiveIdentities(std::vector<StoredNote>& theirs, const std::vector<StoredNote>& ours,
                    const std::function<std::string()>& newId)
{
    // A second note of one identity (a copied record) is another note.
    std::set<std::string> taken;
    for (StoredNote& note : theirs)
        if (!note.extras.id.empty() && !taken.insert(note.extras.id).second)
            note.extras.id.clear();
    for (StoredNote& note : theirs) {
        for (size_t i = 0; i < ours.size() && note.extras.id.empty(); ++i)
            if (!taken.count(ours[i].extras.id) && SameTime(note, ours[i]) && SameNoteText(note, ours[i]))
                note.extras.id = ours[i].extras.id;
        if (note.extras.id.empty())
            note.extras.id = newId();
        taken.insert(note.extras.id);
    }
}

} // namespace

bool SameNoteText(const StoredNote& a, const StoredNote& b)
{
    return a.text == b.text && a.extras.utf8 == b.extras.utf8;
}

bool SameNote(const StoredNote& a, const StoredNote& b)
{
    return SamePlace(a, b) && a.color == b.color && SameNoteText(a, b) && SameTime(a, b);
}

MergedNotes MergeNotes(const std::vector<StoredNote>* base, const std::vector<StoredNote>& mine,
                       std::vector<StoredNote> theirs, const std::function<std::string()>& newId)
{
    GiveIdentities(theirs, base ? *base : mine, newId);
    const Index baseIndex = base ? IndexOf(*base) : Index();
    const Index mineIndex = IndexOf(mine), theirIndex = IndexOf(theirs);
    MergedNotes merged;
    std::vector<StoredNote> beside;

    // A note both sides have: each part from the side that changed it.
    auto both = [&](const StoredNote& my, const StoredNote& their, const StoredNote* was) {
        StoredNote note = my;
        const bool open = my.state == NOTE_EXPANDED;    // a full note stands where its window is
        if (!open && was && SamePlace(my, *was))
            TakePlace(note, their);
        if (was && my.color == was->color)
            note.color = their.color;
        if (!SameNoteText(my, their)) {
            if (was && SameNoteText(my, *was)) {
                TakeText(note, their);
            } else if (!was || !SameNoteText(their, *was)) {
                StoredNote copy = their;
                copy.extras.id = newId();
                copy.x = my.x + BESIDE;
                copy.y = my.y;
                copy.state = NOTE_PACKED;
                beside.push_back(copy);
            }
        }
        return note;
    };

    for (const StoredNote& their : theirs) {
        const StoredNote* my = Find(mineIndex, their.extras.id);
        const StoredNote* was = Find(baseIndex, their.extras.id);
        if (my) {
            merged.notes.push_back(both(*my, their, was));
        } else if (!was || !SameNote(their, *was)) {
            // Added there, or deleted here but changed there: it stays, as a mark.
            StoredNote note = their;
            note.state = NOTE_PACKED;
            merged.notes.push_back(note);
        }
    }
    for (const StoredNote& my : mine) {
        if (Find(theirIndex, my.extras.id))
            continue;
        const StoredNote* was = Find(baseIndex, my.extras.id);
        // Added here, or deleted there but changed here.
        if (!was || !SameNote(my, *was))
            merged.notes.push_back(my);
    }
    merged.keptBeside = beside.size();
    for (StoredNote& copy : beside)
        merged.notes.push_back(std::move(copy));
    return merged;
}
