// Notes from another computer: what the writer thread finds in the data folder (notes.bin changed
// elsewhere, a sync engine's conflict copy) merged with this run's notes, off the window thread,
// and what it leaves on disk once the window thread has shown the result.
//
//   found ──► merged with the newest notes handed over ──► shown by the window thread
//     │                                                     (handed back again where the
//     │                                                      notes changed meanwhile)
//     └─► concluded: notes.bin taken over (written again where the merge differs from it);
//                    a conflict copy deleted where it held nothing new, kept aside otherwise
#pragma once
#include "storage/data_file.h"
#include "storage/note_merge.h"
#include <cstdint>
#include <string>
#include <vector>

struct MergeJob {
    std::string copy;                   // the conflict copy it came from; empty: notes.bin
    ChangedFile file;                   // as read
    std::vector<StoredNote> theirs;
    std::vector<uint8_t> mine;          // this run's notes it was merged with
    std::vector<StoredNote> mineNotes;  // ... decoded
    MergedNotes merged;
    bool changesMine = false;           // the windows must change
    bool changesFile = false;           // the file must be written
};

// Finds a change made elsewhere: notes.bin first, then, at a look of the folder watch (settle:
// read once it has stayed so from one look to the next), a conflict copy. Writer thread.
bool FindChange(MergeJob& job, bool settle);
// Merges what was found with mine (the newest notes handed over, without versions).
void MakeMerge(MergeJob& job, const std::vector<uint8_t>& mine);
// The window thread shows the merge: notes.bin becomes what this run knows, a conflict copy goes
// or is kept aside. Writer thread.
void ConcludeOnDisk(const MergeJob& job);
