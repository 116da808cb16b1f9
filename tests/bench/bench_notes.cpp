#include "tests/bench/bench_notes.h"
#include "storage/note_text.h"
#include "storage/settings.h"
#include <windows.h>
#include <iterator>

namespace {
const char* const SENTENCES[] = {
    "Zavolat panu Novákovi kvůli smlouvě na příští týden.",
    "Koupit mléko, chléb, máslo a dvě kila brambor.",
    "Porada se přesouvá na čtvrtek v 9:30 do zasedačky ve druhém patře.",
    "Nezapomenout zalít květiny a vynést tříděný odpad.",
    "Objednat se k zubaři – nejlépe v úterý odpoledne.",
    "Heslo k Wi-Fi v kanceláři se mění každý měsíc; zeptat se Jitky.",
    "Vyzvednout balík na poště, číslo zásilky je v e-mailu.",
    "Připravit podklady pro čtvrtletní zprávu: tržby, náklady, výhled.",
    "Zaplatit fakturu za elektřinu do 15. dne v měsíci.",
    "Rezervovat stůl v restauraci U Zlatého jelena na pátek večer.",
    "Poslat Petrovi přání k narozeninám a koupit mu dárek.",
    "Zkontrolovat zálohu dat na externím disku.",
    "Servis auta: výměna oleje, kontrola brzd a pneumatik.",
    "Dopsat kapitolu o řízení projektů a poslat ji Šárce k revizi.",
    "Otec chce v neděli na chatu, vzít s sebou nářadí a žebřík.",
    "Učitelka prosí o podpis omluvenky do středy.",
    "Přečíst smlouvu s dodavatelem, hlavně odstavec o pokutách.",
    "Ťukání v topení – ozvat se správci domu, tel. 603 412 785.",
};

const wchar_t* const CYRILLIC[] = {
    L"Передать Ивану отчёт до пятницы.",
    L"Зустріч з клієнтом перенесено на вівторок.",
    L"Не забыть позвонить в банк насчёт карты.",
    L"Купити квитки до Києва на наступний тиждень.",
};

const COLORREF MENU_COLORS[] = { RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 160), RGB(0, 208, 0) };

// A fixed sequence, so every run and every child process sees the same notes.
struct Random {
    uint32_t state;
    uint32_t Next(uint32_t bound)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

std::string MakeText(Random& random)
{
    std::string text;
    while (text.size() < 190) {
        if (!text.empty())
            text += random.Next(3) == 0 ? "\r\n" : " ";
        text += SENTENCES[random.Next(static_cast<uint32_t>(std::size(SENTENCES)))];
    }
    return text;
}
} // namespace

std::vector<StoredNote> MakeBenchNotes(int count, BenchText kind)
{
    Random random = { 20240611u };
    std::vector<StoredNote> notes(count);
    for (StoredNote& note : notes) {
        // Never 0: the program reads a zero coordinate as "no position given".
        note.x = 1 + static_cast<int32_t>(random.Next(1024 - 16 - 1));
        note.y = 1 + static_cast<int32_t>(random.Next(768 - 16 - 40));
        note.color = random.Next(2) ? MENU_COLORS[random.Next(4)]
                                    : RGB(random.Next(256), random.Next(256), random.Next(256));
        note.state = 1;  // loaded notes are marks; saving them back gives the same bytes
        note.year = static_cast<uint16_t>(2015 + random.Next(10));
        note.month = static_cast<uint16_t>(1 + random.Next(12));
        note.day = static_cast<uint16_t>(1 + random.Next(28));
        note.hour = static_cast<uint16_t>(random.Next(24));
        note.minute = static_cast<uint16_t>(random.Next(60));
        note.text = MakeText(random);
        // Chosen apart from the sequence, so that the rest of every note stays the same.
        if (kind == BenchText::CYRILLIC)
            PutNoteText(CYRILLIC[(&note - notes.data()) % 4] + std::wstring(L"\r\n") + WideText(note.text), note);
    }
    return notes;
}

DataFolderSetting::DataFolderSetting(const std::string& folder)
    : hadKey_(SettingsKeyExists()), previous_(ReadSettingsValue("DataFolder"))
{
    WriteSettingsText("DataFolder", folder);
}

DataFolderSetting::~DataFolderSetting()
{
    if (previous_.exists)
        WriteSettingsValue("DataFolder", previous_.type, previous_.data.data(),
                           static_cast<DWORD>(previous_.data.size()));
    else if (!hadKey_)
        DeleteSettingsKey();
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, "DataFolder");
}
