#include "ui/Threads.h"

#include <process.h>

TThread::TThread() : terminateEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &threadId_)));
}

TThread::~TThread() {
    if (GetCurrentThreadId() != threadId_) TerminateAndWait();  // not when freeing itself at its end
}

void TThread::TerminateAndWait() {
    if (!thread_) return;
    Terminate();
    if (suspended_) {
        abandoned_ = true;
        suspended_ = false;
        ResumeThread(thread_.get());
    }
    WaitForSingleObject(thread_.get(), INFINITE);
}

void TThread::Resume() {
    if (!thread_ || !suspended_) return;
    suspended_ = false;
    ResumeThread(thread_.get());
}

void TThread::Terminate() {
    terminated_ = true;
    if (terminateEvent_) SetEvent(terminateEvent_.get());
}

bool TThread::WaitTerminated(DWORD ms) {
    if (terminated_) return true;
    if (terminateEvent_) return WaitForSingleObject(terminateEvent_.get(), ms) == WAIT_OBJECT_0;
    Sleep(ms);
    return terminated_;
}

unsigned __stdcall TThread::ThreadProc(void* param) {
    auto* self = static_cast<TThread*>(param);
    // An object destroyed before it ever ran only lets its thread end.
    if (self->abandoned_) return 0;
    self->Execute();
    self->DoTerminate();
    if (self->FreeOnTerminate) delete self;
    return 0;
}
