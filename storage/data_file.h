// notes.bin in the data folder, and the one rule by which this program replaces it: a save never
// destroys a file it does not know. The file replaced is kept under a name of its own until it is
// found to be, byte for byte, what this run last read from it or wrote to it; any other file (one
// that appeared, was changed elsewhere, or was read only in part or not at all) is kept beside it
// under a new name, and nothing is merged. What an unfinished save left (a power cut, a crash)
// is found at the next start: put in place where notes.bin is missing, kept beside it otherwise.
// Bytes and files only: the writer thread is storage/save_writer.h, making notes of the bytes is
// notes/note_store.h's work.
#pragma once
#include "storage/file_io.h"
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

#define DATA_FILE_NAME "\\notes.bin"

// Anything larger is not a file this program wrote; what fits is read, the rest is cut off.
constexpr size_t MAX_DATA_FILE_SIZE = 256u << 20;
// The limit in force: MAX_DATA_FILE_SIZE, lowered by tests so a cut file needs no 256 MiB.
extern size_t g_maxDataFileSize;

// DataFile from DataFolder; left empty when the folder leaves no room for the file name.
// Starts a new run of the file: nothing is known of it yet, nothing has been kept aside.
void ComposeDataFile();

enum class DataFileRead {
    READ,       // bytes hold the file (its first MAX_DATA_FILE_SIZE bytes)
    NO_FILE,    // there is none, or no folder for it: no failure
    FAILED,     // it exists but cannot be read: the first save that replaces it keeps it aside
};
// Reads the whole file, trying again while another program holds it, after dealing with what
// unfinished saves left beside it. announce: the run's first file kept aside, where this kept it.
DataFileRead ReadDataFile(std::vector<uint8_t>& bytes, std::string& announce);

// What was read holds more than the notes made of it (a damaged file, bytes after the last
// record, a note that could not be made): the first write keeps the file aside.
void DataFileReadInPart();

struct DataFileWrite {
    DWORD error = ERROR_SUCCESS;    // ERROR_SUCCESS: written
    std::string kept;               // the file this write kept aside, if it kept one
    bool first = false;             // ... the run's first
};
// Puts bytes in place of the file by the rule above. Each step that meets a file another program
// holds is tried again by itself. leaveNew: the new notes are written beside the file even where
// it may not be replaced (the end of the session, the last chance), and left there for the next
// start. The writer thread's work; tests call it on a thread of theirs.
DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes, bool leaveNew = false);

// What another program (a sync engine, another copy of this program on a share) has put in place
// of the file this run knows, read whole.
struct ChangedFile {
    std::vector<uint8_t> bytes;
    FileIdentity identity;
};
// Looks at notes.bin: true, with changed filled, when it holds other notes than this run last read
// or wrote, they decode whole, and nobody writes the file any more (a sync engine's temporary
// file for it is gone, and, where settle is asked for, it was the same at the look before). A
// file that does not decode whole is left to the rule above. Writer thread, or while it is idle.
bool LookForChange(ChangedFile& changed, bool settle = true);
// Conflict copies that sync engines make of notes.bin beside it ("notes.sync-conflict-….bin",
// "notes (… conflicted copy …).bin", "notes-COMPUTER.bin"), the program's own kept files not
// among them.
std::vector<std::string> FindConflictCopies();

// This run has taken those notes over (shown them, merged them with its own): the file as it was
// read is what the run knows of it now, and a save may replace it.
void TakeOverFile(const ChangedFile& taken);

// notes.bin is in place and holds exactly these bytes as far as this run knows, and nothing of an
// earlier save of this run waits beside it. Writer thread, or while it is idle.
bool DataFileHolds(const std::vector<uint8_t>& bytes);
