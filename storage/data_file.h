// notes.bin in the data folder, and the one rule by which this program replaces it: only when the
// file on disk is, byte for byte, what this run last read from it or wrote to it, or when there
// was no file and there still is none. Any other file (one that appeared, was changed elsewhere,
// or was read only in part) is first kept beside it under a new name; nothing is merged.
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
    FAILED,     // it exists but cannot be read: no write of this run replaces it
};
// Reads the whole file, trying again while another program holds it.
DataFileRead ReadDataFile(std::vector<uint8_t>& bytes);

// What was read holds more than the notes made of it (a damaged file, bytes after the last
// record, a note that could not be made): the first write keeps the file aside.
void DataFileReadInPart();

// The file was last read whole or written with exactly these bytes.
bool DataFileHolds(const std::vector<uint8_t>& bytes);

struct DataFileWrite {
    bool written = false;
    std::string keptAs;         // the file found on disk was first kept under this path
    bool firstKept = false;     // ... and it is the first kept in this run
};
// Puts bytes in place of the file by the rule above, trying again while another program holds it.
DataFileWrite WriteDataFile(const std::vector<uint8_t>& bytes);
