// Every save goes through SaveBytes: the window thread hands over the bytes of the whole
// collection and one writer thread does the file work (storage/data_file.h), so that no window
// waits for a disk. A hand-over while the writer is busy replaces the one that waits: only the
// newest bytes are written. The writer touches no window; when a save has ended it posts the
// message given to ReportSavesTo, and the window thread then asks TakeSaveNews what happened.
// How that is told is notes/save_telling.h's business.
#pragma once
#include "storage/file_sync.h"
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

enum class SaveKind {
    AUTOMATIC,      // after a change: returns at once
    COMMAND,        // "&Uložit memovky", exit: waits until written
    SESSION_END,    // log-off: waits; the new notes stay on disk even where they cannot replace the file
};
// The save's number, 0 when nothing was handed over (the program is ending).
unsigned SaveBytes(std::vector<uint8_t> bytes, SaveKind kind);
// The newest bytes handed over, or the collection as it was made at the start, are these, and
// nothing of a failed save waits: there is nothing to save. number: the save that holds them
// (0: nothing was handed over since the start).
bool SaveHolds(const std::vector<uint8_t>& bytes, unsigned& number);
// That save, or a newer one, is on disk.
bool SaveWritten(unsigned number);
// The collection as the start made it of the file: while the notes are these, nothing is
// written, whatever the file held (read whole, in part, not at all, or none).
// versions: those the file named (storage/versions.h).
void RememberUntouched(const std::vector<uint8_t>& bytes, const std::string& versions = std::string());
// Where the writer posts message after each save, and merged when it has merged a change made
// elsewhere (storage/file_sync.h) for the window thread to show.
void ReportSavesTo(HWND window, UINT message, UINT merged = 0);
// From here on nothing is handed over: the program is ending and its windows go.
void EndSaves();
bool SavingEnded();
// Waits until every save handed over has ended. Not on the window thread while a merge may be out
// (automatic saves wait for it): see WaitForSavesOrMerge.
void WaitForSaves();
// Waits until every save handed over has ended, or until the saves that have not wait for a merge
// the window thread is to show: true then.
bool WaitForSavesOrMerge();
// The window thread cannot show the merge that is out (the program ends): the saves go on without
// it, and the rule keeps the other computer's file aside.
void DropMerge();
// Waits for what was handed over and ends the writer thread.
void StopSaveWriter();
// A new run of the data file: waits for the writer and forgets what it knew and had to say.
void ResetSaves();

// Asks the writer to look whether the data folder holds a change made elsewhere (notes.bin, a
// sync engine's conflict copy), when it is not writing. storage/folder_watch.h asks.
void LookAtDataFile();
// Waits until the look asked for has been made.
void WaitForLooks();
// The merge the writer has made of such a change, for the window thread to show; false when none
// waits. While one waits, automatic saves wait too: they would keep the other computer's file
// aside.
bool TakeMerge(MergeJob& job);
// The notes changed since that merge was made: it is made again with these.
void RemergeWith(std::vector<uint8_t> mine);
// The merge is shown, and the notes are now shown: notes.bin is what this run knows, a conflict
// copy goes, and shown is written where it differs from the file.
void ConcludeMerge(std::vector<uint8_t> shown);

// What ended saves of one kind have to say, since it was last asked.
struct SaveNews {
    std::string announce;               // the run's first file kept aside
    std::vector<std::string> kept;      // every file kept aside, the newest last
    bool failed = false;                // a failure the rule says to tell: always for a save
                                        // that waited, once for a run of automatic ones
    bool Any() const { return failed || !kept.empty(); }
};
SaveNews TakeSaveNews(SaveKind kind);
