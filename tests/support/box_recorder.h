// Sees and answers the program's message boxes in-process, without showing them.
#pragma once
#include <windows.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
    DWORD thread;   // that showed it
};

// While one exists, every ErrorBox, FatalBox and AskYesNo is recorded instead of shown.
// Answers come from the queue; with none queued an OK box gets IDOK and a question IDNO.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<RecordedBox>& Boxes() const { return boxes_; }
    size_t Count() const { return boxes_.size(); }
    // Signalled at every box: another thread can wait for one without asking any window.
    HANDLE ShownEvent() const { return shown_; }
    void Clear() { boxes_.clear(); }
    // Runs inside every box from now on (not inside one opened by the action itself), as a real
    // box lets the program's messages through while it is open.
    void WhileOpen(std::function<void()> action) { whileOpen_ = std::move(action); }
    // The most boxes that were open at once.
    int MostOpen() const { return mostOpen_; }
    // Texts of the recorded boxes, joined by " | ", for failure messages.
    std::string Summary() const;

private:
    static int WINAPI Record(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
    static BoxRecorder* active_;
    std::vector<RecordedBox> boxes_;
    std::deque<int> answers_;
    std::function<void()> whileOpen_;
    int open_ = 0;
    int mostOpen_ = 0;
    HANDLE shown_;
    void* previous_;
};
