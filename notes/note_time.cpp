#include "notes/note_time.h"
#include <cstdio>

int FormatNoteTime(NoteTime time, char (&text)[NOTE_TIME_TEXT_SIZE])
{
    if (time.year < 1970) {
        snprintf(text, sizeof text, "%s", "Čas neurčen");
        return 0;
    }
    snprintf(text, sizeof text, "%d.%d.%d  %d:%.2d",
             time.day, time.month, time.year, time.hour, time.minute);
    return 1;
}

void FormatNoteTitle(NoteTime time, char (&title)[NOTE_TITLE_SIZE])
{
    char when[NOTE_TIME_TEXT_SIZE];
    FormatNoteTime(time, when);
    snprintf(title, sizeof title, "Zapsáno: %s", when);
}
