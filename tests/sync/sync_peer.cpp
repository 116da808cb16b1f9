// The hand of the second computer: run in the second test session (scripts/peer.sh run), one
// command per call, it drives the Memovky.exe of that session with real input as the end-to-end
// tests do. The program runs on between calls. Texts are given in the program's code page with
// their control characters escaped, and printed as UTF-8 (peer_lines.h); the last line printed
// is "ok" or "error <what went wrong>".
//   sync_peer start <data folder>    starts the program on that folder, waits until it is ready
//   sync_peer add <text>             a note from the tray menu, the text typed into it
//   sync_peer pack <text>            the note with that text packed with its close box
//   sync_peer drag <text> <x> <y>    its mark dragged until its top-left corner is there
//   sync_peer list                   every note
//   sync_peer end                    "Konec" from the tray menu
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include "tests/sync/peer_lines.h"
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Where the pointer rests between actions: over no mark, so that no preview stays open.
const POINT REST = { 1000, 60 };

void Print(const std::string& line)
{
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Fail(const std::string& why)
{
    Print("error " + why);
    return 1;
}

bool IsPacked(HWND note)
{
    return (GetWindowLongA(note, GWL_STYLE) & WS_CAPTION) != WS_CAPTION;
}

PeerNote Seen(HWND note)
{
    PeerNote seen;
    seen.rect = WindowRect(note);
    seen.packed = IsPacked(note);
    if (seen.packed)
        seen.colour = ScreenPixel((seen.rect.left + seen.rect.right) / 2, (seen.rect.top + seen.rect.bottom) / 2);
    seen.text = EditText(note);
    return seen;
}

// The note holding exactly this text; null when there is none or more than one.
HWND FindNote(const RunningProgram& program, const std::string& text)
{
    HWND found = nullptr;
    for (HWND note : program.NoteWindows())
        if (EditText(note) == text) {
            if (found)
                return nullptr;
            found = note;
        }
    return found;
}

int Start(const std::string& folder)
{
    RunningProgram program;
    if (program.Attach())
        return Fail("the program already runs");
    DeleteSettingsKey();
    WriteSettingsText("DataFolder", folder);
    MoveTo(REST.x, REST.y);
    if (!program.Start())
        return Fail("cannot start " + ProgramPath());
    if (!program.WaitReady())
        return Fail("start-up did not finish");
    Print("ready " + std::to_string(program.Pid()));
    program.Detach();
    return 0;
}

// Typed with real keys, a line break as Return; the xdotool line does not take single quotes.
int Add(const RunningProgram& program, const std::string& text)
{
    if (text.find('\'') != std::string::npos)
        return Fail("a text with a single quote cannot be typed");
    HWND note = AddNoteFromTray(program);
    if (!note)
        return Fail("no note was added from the tray menu");
    const RECT rect = WindowRect(note);
    ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    for (size_t from = 0;;) {
        const size_t end = text.find("\r\n", from);
        TypeText(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (end == std::string::npos)
            break;
        PressKeys("Return");
        from = end + 2;
    }
    if (!PumpUntil([&] { return EditText(note) == text; }, 10000))
        return Fail("the note holds " + EscapeText(EditText(note)));
    Print(FormatPeerNote(Seen(note)));
    return 0;
}

int Pack(const RunningProgram& program, const std::string& text)
{
    HWND note = FindNote(program, text);
    POINT close;
    if (!note || IsPacked(note) || !FindHitPoint(note, HTCLOSE, &close))
        return Fail("no single open note holds " + EscapeText(text));
    ClickAt(close.x, close.y);
    MoveTo(REST.x, REST.y);
    if (!PumpUntil([&] { return IsPacked(note); }))
        return Fail("the close box did not pack the note");
    Print(FormatPeerNote(Seen(note)));
    return 0;
}

int Drag(const RunningProgram& program, const std::string& text, int x, int y)
{
    HWND mark = FindNote(program, text);
    if (!mark || !IsPacked(mark))
        return Fail("no single mark holds " + EscapeText(text));
    const bool there = DragMarkTo(mark, x, y);
    MoveTo(REST.x, REST.y);
    if (!there)
        return Fail("the mark ended at " + Describe(WindowRect(mark)));
    Print(FormatPeerNote(Seen(mark)));
    return 0;
}

// From the top of the screen down, then from the left: the same notes print the same way.
int List(const RunningProgram& program)
{
    std::vector<PeerNote> notes;
    for (HWND note : program.NoteWindows())
        notes.push_back(Seen(note));
    std::sort(notes.begin(), notes.end(), [](const PeerNote& a, const PeerNote& b) {
        return a.rect.top != b.rect.top ? a.rect.top < b.rect.top : a.rect.left < b.rect.left;
    });
    for (const PeerNote& note : notes)
        Print(FormatPeerNote(note));
    return 0;
}

int End(RunningProgram& program)
{
    DWORD code = 1;
    if (!EndFromTray(program, &code))
        return Fail("\"Konec\" did not end the program");
    if (code != 0)
        return Fail("the program ended with " + std::to_string(code));
    return 0;
}

int Run(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "start" && argc == 3)
        return Start(argv[2]);
    RunningProgram program;
    if (!program.Attach())
        return Fail("the program does not run");
    int result;
    if (command == "add" && argc == 3)
        result = Add(program, UnescapeControls(argv[2]));
    else if (command == "pack" && argc == 3)
        result = Pack(program, UnescapeControls(argv[2]));
    else if (command == "drag" && argc == 5)
        result = Drag(program, UnescapeControls(argv[2]), atoi(argv[3]), atoi(argv[4]));
    else if (command == "list" && argc == 2)
        result = List(program);
    else if (command == "end" && argc == 2)
        result = End(program);
    else
        result = Fail("usage: sync_peer start <folder> | add <text> | pack <text> | drag <text> <x> <y> | list | end");
    // Whatever went wrong, the program runs on until the session ends.
    program.Detach();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const int result = Run(argc, argv);
    if (result == 0)
        Print("ok");
    return result;
}
