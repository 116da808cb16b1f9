// Records the messages that reach one window, in order, and still hands each to its procedure.
#pragma once
#include <windows.h>
#include <vector>

struct LoggedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageLog {
public:
    explicit MessageLog(HWND window) : window_(window)
    {
        active_ = this;
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Record)));
    }
    ~MessageLog()
    {
        if (IsWindow(window_))
            SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        active_ = nullptr;
    }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    std::vector<LoggedMessage> Of(UINT message) const
    {
        std::vector<LoggedMessage> found;
        for (const LoggedMessage& m : seen_)
            if (m.message == message)
                found.push_back(m);
        return found;
    }
    void Clear() { seen_.clear(); }

private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        MessageLog* self = active_;
        self->seen_.push_back({ message, wParam, lParam });
        return CallWindowProcA(self->previous_, window, message, wParam, lParam);
    }
    static inline MessageLog* active_;
    HWND window_;
    WNDPROC previous_;
    std::vector<LoggedMessage> seen_;
};
