// Stored notes for the benchmark: about 200 characters of Czech text each (Windows-1250, CR LF
// line breaks), marks spread over a 1024 x 768 screen in varied colours. Same count, same notes.
#pragma once
#include "storage/note_codec.h"
#include "tests/support/helpers.h"
#include <string>
#include <vector>

std::vector<StoredNote> MakeBenchNotes(int count);

// The program reads its data folder from the registry; the value there before is put back.
class DataFolderSetting {
public:
    explicit DataFolderSetting(const std::string& folder);
    ~DataFolderSetting();
    DataFolderSetting(const DataFolderSetting&) = delete;
    DataFolderSetting& operator=(const DataFolderSetting&) = delete;

private:
    bool hadKey_;
    RegValue previous_;
};
