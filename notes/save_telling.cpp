#include "notes/save_telling.h"
#include "app/message_boxes.h"
#include "app/modal_loops.h"
#include "app/tray.h"
#include "storage/file_io.h"
#include "storage/save_writer.h"
#include "storage/settings.h"
#include <utility>

static const char SAVE_ERROR_TEXT[] = "Nelze vytvořit datový soubor";
static const char LOAD_ERROR_TEXT[] = "Nelze načíst datový soubor";
static const char KEPT_FILE_TEXT[] =
    "Datový soubor se mezitím změnil mimo Memovky nebo jej nebylo možné načíst celý.\n"
    "Jeho dosavadní obsah je uschován v souboru:\n";
static const char KEPT_LEFTOVER_TEXT[] =
    "Ve složce s daty zůstal soubor nedokončeného uložení (například po výpadku proudu).\n"
    "Je uschován v souboru:\n";
static const char KEPT_BESIDE_TEXT[] =
    "Memovka byla současně změněna i na jiném počítači.\n"
    "Její druhé znění je v nové memovce vedle ní.";
static const char KEPT_TIP_TEXT[] = "Datový soubor uschován jako ";
// What a balloon holds, its terminator included.
static const size_t BALLOON_TEXT_SIZE = 256;

// News of automatic saves that nothing has told yet. Window thread only.
static SaveNews Untold;
static bool BoxOpen;

static std::string NameOf(const std::string& path)
{
    return path.substr(FolderPartOf(path).size());
}

static void Gather(SaveNews& into, SaveNews news)
{
    if (!news.announce.empty())
        into.announce = news.announce;
    into.kept.insert(into.kept.end(), news.kept.begin(), news.kept.end());
    into.failed = into.failed || news.failed;
}

static void NameInTip(const SaveNews& news)
{
    if (!news.kept.empty())
        SetTrayTipLine(KEPT_TIP_TEXT + NameOf(news.kept.back()));
}

// The full path where it fits the balloon, the name alone (the data folder's) where it does not.
static std::string KeptBalloonText(const std::string& path)
{
    const std::string text = KEPT_FILE_TEXT + path;
    return text.size() < BALLOON_TEXT_SIZE ? text : KEPT_FILE_TEXT + NameOf(path);
}

void TellSaves()
{
    Gather(Untold, TakeSaveNews(SaveKind::AUTOMATIC));
    if (!Untold.Any() || SavingEnded() || InModalLoop())
        return;
    const SaveNews news = std::exchange(Untold, {});
    NameInTip(news);
    // Without an icon there is nowhere to tell it now: the next start names the file.
    if (!news.announce.empty() && !ShowTrayBalloon(KeptBalloonText(news.announce), NIIF_WARNING))
        AddUntoldKeptFile(news.announce);
    if (news.failed)
        ShowTrayBalloon(SAVE_ERROR_TEXT, NIIF_ERROR);
}

void TellCommandSave()
{
    // The command waited for every save before it: what they had to say is said with its own,
    // but for a failure that its own success has put right.
    SaveNews news = TakeSaveNews(SaveKind::COMMAND);
    SaveNews earlier = std::exchange(Untold, {});
    Gather(earlier, TakeSaveNews(SaveKind::AUTOMATIC));
    earlier.failed = false;
    Gather(earlier, std::move(news));
    NameInTip(earlier);
    // A box is open already (the program was told to end while it showed): told later, quietly.
    if (BoxOpen) {
        Untold = std::move(earlier);
        return;
    }
    BoxOpen = true;
    if (!earlier.announce.empty())
        WarningBox((KEPT_FILE_TEXT + earlier.announce).c_str());
    if (earlier.failed)
        ErrorBox(SAVE_ERROR_TEXT);
    BoxOpen = false;
}

void TellKeptBeside()
{
    ShowTrayBalloon(KEPT_BESIDE_TEXT, NIIF_INFO);
}

void LeaveSaveNewsForTheNextStart()
{
    Gather(Untold, TakeSaveNews(SaveKind::AUTOMATIC));
    Gather(Untold, TakeSaveNews(SaveKind::SESSION_END));
    for (const std::string& kept : Untold.kept)
        AddUntoldKeptFile(kept);
    Untold = {};
}

void TellStartUp(const std::string& keptLeftover, bool unreadable)
{
    Untold = {};
    BoxOpen = true;
    if (!keptLeftover.empty())
        WarningBox((KEPT_LEFTOVER_TEXT + keptLeftover).c_str());
    const std::string untold = TakeUntoldKeptFiles();
    if (!untold.empty())
        WarningBox((KEPT_FILE_TEXT + untold).c_str());
    if (unreadable)
        ErrorBox(LOAD_ERROR_TEXT);
    BoxOpen = false;
}
