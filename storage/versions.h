// The versions of notes.bin: every file this program writes names its own version and the ones it
// came from (the "VERS" extra of its first record), and this run keeps the notes of the versions
// it has read or written. A file from another computer is then merged against the newest version
// both came from, even where the sync engine set one computer's file aside as a conflict: each
// side's changes are its own, and nothing is taken for a deletion that never happened. Writer
// thread only (or while it is idle).
//
//   start:  the notes made of the file, its versions        -> known, and the chain of the run
//   write:  a new version before the run's chain             -> known, the chain of the run
//   merge:  their chain and the run's, newest first          -> the chain of the run
#pragma once
#include "storage/note_codec.h"
#include <string>
#include <vector>

// NOTE_ID_SIZE fresh bytes that no other note or version has: a GUID.
std::string NewUniqueId();

// A new run of the file: the notes the start made of it, and the versions it named (none for a
// file without them, or no file).
void StartVersions(const std::vector<StoredNote>& notes, const std::string& versions);
// The notes a file of those versions came from: the newest of them this run knows; else the notes
// of the file this run last read or wrote (a file without versions, from an older program).
// known: whether the versions met one this run knows.
const std::vector<StoredNote>& BaseFor(const std::string& versions, bool& known);
// Puts the versions of a file about to be written on its first note: a new version before the
// run's chain. Returned, for WroteVersion once the file is on disk.
std::string StampNewVersion(std::vector<StoredNote>& notes);
// The file of those notes and versions is on disk: known, and the chain of the run.
void WroteVersion(const std::vector<StoredNote>& notes, const std::string& versions);
// This run has taken over a file of these notes and versions: its notes are known, and the run's
// chain holds both.
void TakeOverVersions(const std::vector<StoredNote>& notes, const std::string& versions);
