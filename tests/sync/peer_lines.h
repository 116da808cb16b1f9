// What sync_peer.exe prints about a note and the tests read back: one line per note, the text
// in UTF-8 with escapes, so that a note of several lines stays one line.
//   note <left> <top> <right> <bottom> packed|open <RRGGBB of the mark, or -> <text>
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct PeerNote {
    RECT rect = {};
    bool packed = false;
    COLORREF colour = CLR_INVALID;   // as the screen shows the mark; CLR_INVALID for an open note
    std::string text;                // in the program's code page
};

// Control characters as \r, \n, \t and \xNN, a backslash as \\, and back; nothing else is
// touched. Texts travel so as arguments of sync_peer.exe, in the program's code page.
std::string EscapeControls(const std::string& text);
std::string UnescapeControls(const std::string& escaped);
// The same for a text of the program's code page printed as UTF-8, and back.
std::string EscapeText(const std::string& text);
std::string UnescapeText(const std::string& escaped);

std::string FormatPeerNote(const PeerNote& note);
bool ParsePeerNote(const std::string& line, PeerNote* note);
// Every note line of an output.
std::vector<PeerNote> ParsePeerNotes(const std::vector<std::string>& lines);
