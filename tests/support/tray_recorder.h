// Sees what the program asks of the notification area: balloons and tips. Each call goes on to the
// real notification area, which answers as it always does.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>

struct RecordedBalloon {
    std::string title;
    std::string text;
    DWORD icon;     // NIIF_WARNING, NIIF_ERROR …
    DWORD thread;   // that asked for it
};

class TrayRecorder {
public:
    TrayRecorder();
    ~TrayRecorder();
    TrayRecorder(const TrayRecorder&) = delete;
    TrayRecorder& operator=(const TrayRecorder&) = delete;

    const std::vector<RecordedBalloon>& Balloons() const { return balloons_; }
    // The icon's tip as last set.
    const std::string& Tip() const { return tip_; }
    void Clear() { balloons_.clear(); }
    // Texts of the balloons, joined by " | ", for failure messages.
    std::string Summary() const;

private:
    static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data);
    static TrayRecorder* active_;
    std::vector<RecordedBalloon> balloons_;
    std::string tip_;
    void* previous_;
};
