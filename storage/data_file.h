// notes.bin in the data folder, and the one rule by which this program replaces it: a save never
// destroys a file it does not know. The file replaced is kept under a name of its own until it is
// found to be, byte for byte, what this run last read from it or wrote to it; any other file (one
// that appeared, was changed elsewhere, or was read only in part or not at all) is kept beside it
// under a new name, and nothing is merged. What an unfinished save left (a power cut, a crash)
// is found at the next start: put in place where notes.bin is missing, kept beside it otherwise.
// Bytes and files only: making notes of them is notes/note_store.h's work.
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
    std::string announce;           // the run's first file kept aside, where this write kept it
};
// Puts bytes in place of the file by the rule above. Each step that meets a file another program
// holds is tried again by itself. The writer thread's work; tests call it on a thread of theirs.
DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes);

// Every save goes through SaveBytes: the window thread hands over the bytes of the whole
// collection and one writer thread does the file work, so that no window waits for a disk. A
// hand-over while the writer is busy replaces the one that waits: only the newest bytes are
// written. The writer touches no window; when a save has ended it posts the message given to
// ReportSavesTo, and the window thread then asks TakeSaveNews what to tell the user.
enum class SaveKind {
    AUTOMATIC,      // after a change: returns at once; a run of failures is told once
    COMMAND,        // "&Uložit memovky", exit: waits until written; a failure is always told
    SESSION_END,    // log-off: waits; files kept aside are not announced, a failure is told
};
// The save's number, 0 when nothing was handed over (the program is ending).
unsigned SaveBytes(std::vector<uint8_t> bytes, SaveKind kind);
// The newest bytes handed over, or read at the start, are these and nothing of a failed save
// waits: there is nothing to save. number: the save that holds them (0: they were read).
bool SaveHolds(const std::vector<uint8_t>& bytes, unsigned& number);
// That save, or a newer one, is on disk.
bool SaveWritten(unsigned number);
// Where the writer posts message after each save.
void ReportSavesTo(HWND window, UINT message);
// From here on nothing is handed over: the program is ending and its windows go.
void EndSaves();
bool SavingEnded();
// Waits until every save handed over has ended.
void WaitForSaves();
// Waits for what was handed over and ends the writer thread.
void StopSaveWriter();

// What the user is to be told of saves that ended since the last call.
struct SaveNews {
    std::string kept;       // the run's first file kept aside
    bool failed = false;    // a failure the rule says to tell
    bool Any() const { return failed || !kept.empty(); }
};
SaveNews TakeSaveNews();
// One save box at a time: false while one is open, and what it would have said waits for it.
bool BeginSaveBox();
void EndSaveBox();
