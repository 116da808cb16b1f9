// Stored notes for the benchmark: about 200 characters of Czech text each (Windows-1250, CR LF
// line breaks), marks spread over a 1024 x 768 screen in varied colours. Same count, same notes.
// With CYRILLIC every text starts with a line in Russian or Ukrainian, which the code page cannot
// hold, so every record carries its exact text too.
#pragma once
#include "storage/note_codec.h"
#include "tests/support/helpers.h"
#include <string>
#include <vector>

enum class BenchText { CZECH, CYRILLIC };
std::vector<StoredNote> MakeBenchNotes(int count, BenchText kind = BenchText::CZECH);

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
