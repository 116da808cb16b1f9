#include "tests/support/tray_recorder.h"
#include "app/system_calls.h"

TrayRecorder* TrayRecorder::active_;

TrayRecorder::TrayRecorder() : previous_(reinterpret_cast<void*>(g_sys.Shell_NotifyIconA))
{
    active_ = this;
    g_sys.Shell_NotifyIconA = Record;
}

TrayRecorder::~TrayRecorder()
{
    g_sys.Shell_NotifyIconA = reinterpret_cast<ShellNotifyIconFn>(previous_);
    active_ = nullptr;
}

BOOL WINAPI TrayRecorder::Record(DWORD message, PNOTIFYICONDATAA data)
{
    TrayRecorder* self = active_;
    // The longer fields exist only in the longer forms of the record.
    const bool longForm = data->cbSize >= NOTIFYICONDATAA_V2_SIZE;
    if (message != NIM_DELETE && (data->uFlags & NIF_TIP))
        self->tip_ = data->szTip;
    if (longForm && message != NIM_DELETE && (data->uFlags & NIF_INFO))
        self->balloons_.push_back({ data->szInfoTitle, data->szInfo, data->dwInfoFlags, GetCurrentThreadId() });
    return reinterpret_cast<ShellNotifyIconFn>(self->previous_)(message, data);
}

std::string TrayRecorder::Summary() const
{
    std::string all;
    for (const RecordedBalloon& balloon : balloons_)
        all += (all.empty() ? "" : " | ") + balloon.text;
    return all.empty() ? "(no balloons)" : all;
}
