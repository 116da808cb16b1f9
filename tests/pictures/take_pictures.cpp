// Starts the real program in the test desktop, opens each of its windows the way a user would,
// and writes a PNG of each: take_pictures.exe <folder for the pictures, as a host path>.
#include "res/resource.h"
#include "storage/note_codec.h"
#include "tests/e2e/program.h"
#include "tests/support/helpers.h"
#include "tests/support/poll.h"
#include <shlobj.h>
#include <cstdio>

namespace {

std::string g_folder;

// Saves the screen area (with a margin) as name.png.
bool Picture(const char* name, RECT area, int margin = 8)
{
    InflateRect(&area, margin, margin);
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, GetSystemMetrics(SM_CXSCREEN));
    area.bottom = std::min<LONG>(area.bottom, GetSystemMetrics(SM_CYSCREEN));
    char geometry[64];
    snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", area.right - area.left, area.bottom - area.top,
             area.left, area.top);
    const std::string file = g_folder + "/" + name + ".png";
    bool ok = RunNative("import -window root -crop " + std::string(geometry) + " +repage '" + file + "'");
    printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
    return ok;
}

RECT Union(RECT a, RECT b)
{
    RECT both;
    UnionRect(&both, &a, &b);
    return both;
}

// Lets the program paint what the last action opened, and the X server show it.
void Settle(HWND window)
{
    PumpUntil([window] { return IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE); }, 3000);
    RunNative("sleep 0.3");
}

HWND WaitForDialog(const RunningProgram& program, const char* title)
{
    HWND found = nullptr;
    PumpUntil([&] {
        for (HWND window : TopWindows(program.Pid(), "#32770"))
            if (WindowText(window) == title)
                found = window;
        return found != nullptr;
    });
    return found;
}

HWND WaitForMenu()
{
    HWND menu = nullptr;
    PumpUntil([&] { return (menu = OpenMenuWindow()) != nullptr && IsWindowVisible(menu); });
    return menu;
}

void CloseMenus()
{
    ClickAt(300, 650);
    PumpUntil([] { return OpenMenuWindow() == nullptr; }, 3000);
    // Under Wine the release of a click that closes a menu can go unseen, and the left button
    // then reads as held (every mark answers as a caption) until the next click.
    Xdo("sleep 0.6 click 1");
}

void ClickControl(HWND dialog, int id)
{
    RECT button = WindowRect(GetDlgItem(dialog, id));
    ClickAt((button.left + button.right) / 2, (button.top + button.bottom) / 2);
}

// Waits for the program's dialog with this title, takes its picture and closes it with a click.
void PictureDialog(const RunningProgram& program, const char* title, const char* name, int closeId)
{
    HWND dialog = WaitForDialog(program, title);
    if (!dialog)
        return;
    Settle(dialog);
    Picture(name, WindowRect(dialog));
    ClickControl(dialog, closeId);
    PumpUntil([&] { return !IsWindow(dialog); });
}

// Rests the pointer on a mark until its preview shows; the preview, settled, or null.
HWND OpenPreview(const RunningProgram& program, HWND mark)
{
    const RECT markRect = WindowRect(mark);
    MoveTo(markRect.left + 8, markRect.top + 6);
    MoveTo(markRect.left + 9, markRect.top + 7);
    HWND preview = nullptr;
    PumpUntil([&] {
        std::vector<HWND> previews = TopWindows(program.Pid(), "DAVududPopupClass");
        preview = previews.empty() ? nullptr : previews[0];
        return preview != nullptr;
    });
    if (preview)
        Settle(preview);
    return preview;
}

// The data folder the pictures show: one a user would choose, in their Documents.
std::string DocumentsFolder()
{
    char documents[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    const std::string folder = std::string(documents) + "\\Memovky";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// A dark preview colour and a mark near the lower-right corner: white text, beside the mark.
void PictureDarkPreviewInTheCorner(const std::string& dataFile)
{
    WriteFileBytes(dataFile,
                   EncodeNotes({ MakeStoredNote(960, 680, 0x00D000, "Tmavý náhled:\r\nbílé písmo, vedle značky") }));
    WriteSettingsDword("PopupColor", RGB(32, 32, 96));
    RunningProgram program;
    if (!program.Start() || !program.WaitReady()) {
        printf("the program did not start\n");
        return;
    }
    std::vector<HWND> marks = program.NoteWindows();
    if (HWND preview = marks.empty() ? nullptr : OpenPreview(program, marks[0]))
        Picture("dark-preview", Union(WindowRect(marks[0]), WindowRect(preview)), 16);
    MoveTo(300, 650);
    // Ended without saving: the stored note is only scenery.
    TerminateProcess(program.Process(), 0);
}

int TakePictures()
{
    const std::string folder = DocumentsFolder(), dataFile = folder + "\\notes.bin";
    std::vector<StoredNote> notes = {
        MakeStoredNote(600, 180, 0x0000FF, "Zavolat panu Novákovi\r\nkvůli nabídce"),
        MakeStoredNote(630, 180, 0xFF0000, "Koupit:\r\n- chleba\r\n- máslo\r\n- 10 vajec"),
        MakeStoredNote(660, 180, 0xA0FFFF, "Porada ve středu v 9:30\r\nzasedačka ve 2. patře"),
        MakeStoredNote(690, 180, 0x00D000, "Zálohovat fotky"),
        MakeStoredNote(720, 180, 0xC040A0, "Narozeniny: Jana 14.12."),
    };
    WriteFileBytes(dataFile, EncodeNotes(notes));
    DeleteSettingsKey();
    WriteSettingsText("DataFolder", folder);

    RunningProgram program;
    if (!program.Start() || !program.WaitReady()) {
        printf("the program did not start\n");
        return 1;
    }
    std::vector<HWND> marks = program.NoteWindows();
    PumpUntil([&] { return program.NoteWindows().size() == notes.size(); });

    // The main window, as the tray brings it back.
    POINT icon = TrayIconCentre();
    DoubleClickAt(icon.x, icon.y);
    PumpUntil([&] { return IsWindowVisible(program.Main()); });
    Settle(program.Main());
    Picture("main-window", WindowRect(program.Main()));

    // Program > Nastavení.
    RECT bar;
    FindHitRect(program.Main(), HTMENU, &bar);
    ClickAt(bar.left + 20, (bar.top + bar.bottom) / 2);
    if (HWND menu = WaitForMenu())
        ClickMenuItem(menu, PopupItemOffsets(IDR_MAINMENU), 0);
    PictureDialog(program, "Nastavení programu", "settings-dialog", IDCANCEL);
    POINT minimize;
    if (FindHitPoint(program.Main(), HTMINBUTTON, &minimize))
        ClickAt(minimize.x, minimize.y);
    PumpUntil([&] { return !IsWindowVisible(program.Main()); });

    // The marks, with the preview of the one the pointer rests on.
    HWND mark = NoteAt(program, 630, 180);
    RECT markRect = WindowRect(mark);
    HWND preview = OpenPreview(program, mark);
    RECT marksArea = WindowRect(program.NoteWindows()[0]);
    for (HWND each : program.NoteWindows())
        marksArea = Union(marksArea, WindowRect(each));
    if (preview)
        Picture("marks-and-preview", Union(marksArea, WindowRect(preview)), 16);

    // The mark's context menu, with its colour sub-menu open.
    ClickAt(markRect.left + 8, markRect.top + 8, 3);
    if (HWND menu = WaitForMenu()) {
        const RECT frame = WindowRect(menu);
        const RECT colour = PopupItemOffsets(IDR_MARKMENU).at(1);
        MoveTo(frame.left + (colour.left + colour.right) / 2, frame.top + (colour.top + colour.bottom) / 2);
        RECT area = Union(frame, markRect);
        PumpUntil([&] { return TopWindows(ANY_PROCESS, "#32768").size() >= 2; }, 3000);
        for (HWND each : TopWindows(ANY_PROCESS, "#32768"))
            area = Union(area, WindowRect(each));
        Settle(menu);
        Picture("mark-menu", area, 16);
        CloseMenus();
    }

    // An expanded note: a middle click on a mark.
    HWND note = NoteAt(program, 660, 180);
    RECT small = WindowRect(note);
    // A press too soon after the menu has closed can be lost: press again until the note opens.
    MoveTo(small.left + 8, small.top + 8);
    for (int attempt = 0; attempt < 5 && WindowRect(note).right - WindowRect(note).left != 300; ++attempt) {
        Xdo("sleep 0.5 click 2");
        PumpUntil([&] { return WindowRect(note).right - WindowRect(note).left == 300; }, 2000);
    }
    Settle(note);
    Picture("expanded-note", WindowRect(note));
    POINT close;
    if (FindHitPoint(note, HTCLOSE, &close))
        ClickAt(close.x, close.y);

    // The tray menu, and the About box from it.
    MoveTo(icon.x, icon.y);
    ClickAt(icon.x, icon.y, 3);
    if (HWND menu = WaitForMenu()) {
        Settle(menu);
        RECT area = WindowRect(menu);
        area.bottom = GetSystemMetrics(SM_CYSCREEN);
        area.right = GetSystemMetrics(SM_CXSCREEN);
        Picture("tray-menu", area, 12);
        ClickMenuItem(menu, PopupItemOffsets(IDR_TRAYMENU), 8);
    }
    PictureDialog(program, "O Programu Memovky", "about-box", IDOK);

    // End it as a user would.
    ClickAt(icon.x, icon.y, 3);
    if (HWND menu = WaitForMenu())
        ClickMenuItem(menu, PopupItemOffsets(IDR_TRAYMENU), 10);
    DWORD code = 1;
    program.WaitExit(&code);
    PictureDarkPreviewInTheCorner(dataFile);
    DeleteSettingsKey();
    DeleteFileA(dataFile.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: take_pictures.exe <folder>\n");
        return 2;
    }
    g_folder = argv[1];
    return TakePictures();
}
