#include "tests/support/box_recorder.h"
#include "app/message_boxes.h"
#include "app/system_calls.h"

BoxRecorder* BoxRecorder::active_;

BoxRecorder::BoxRecorder()
    : shown_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), previous_(reinterpret_cast<void*>(g_sys.MessageBoxA))
{
    active_ = this;
    g_sys.MessageBoxA = Record;
}

BoxRecorder::~BoxRecorder()
{
    g_sys.MessageBoxA = reinterpret_cast<MessageBoxFn>(previous_);
    active_ = nullptr;
    CloseHandle(shown_);
}

int WINAPI BoxRecorder::Record(HWND owner, LPCSTR text, LPCSTR caption, UINT flags)
{
    BoxRecorder* self = active_;
    self->boxes_.push_back({ owner, text ? text : "", caption ? caption : "", flags, GetCurrentThreadId() });
    SetEvent(self->shown_);
    if (++self->open_ > self->mostOpen_)
        self->mostOpen_ = self->open_;
    if (self->open_ == 1 && self->whileOpen_) {
        const std::function<void()> action = self->whileOpen_;
        action();
    }
    --self->open_;
    if (!self->answers_.empty()) {
        int answer = self->answers_.front();
        self->answers_.pop_front();
        return answer;
    }
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

std::string BoxRecorder::Summary() const
{
    std::string all;
    for (const RecordedBox& box : boxes_)
        all += (all.empty() ? "" : " | ") + box.text;
    return all.empty() ? "(no boxes)" : all;
}
