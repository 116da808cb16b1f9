// Stored notes for the benchmark: about 200 characters of Czech text each (Windows-1250, CR LF
// line breaks), marks spread over a 1024 x 768 screen in varied colours. Same count, same notes.
#pragma once
#include "storage/note_codec.h"
#include <vector>

std::vector<StoredNote> MakeBenchNotes(int count);
