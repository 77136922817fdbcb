// Worker threads. A thread is made suspended and begins at Resume, so that the
// whole object exists before its Execute runs.
#pragma once
#include <windows.h>

#include <atomic>

#include "environment/Handles.h"
#include "ui/Classes.h"

class TThread : public TObject {
public:
    TThread();
    // Waits for the thread (TerminateAndWait) unless the thread frees itself.
    ~TThread() override;

    // False when the system could not make the thread.
    bool Created() const { return static_cast<bool>(thread_); }
    // Starts (or lets continue) a suspended thread.
    void Resume();
    bool Suspended() const { return suspended_; }
    void Terminate();
    bool Terminated() const { return terminated_; }
    // The thread deletes itself after Execute and DoTerminate; the creator must
    // not touch it after Resume.
    bool FreeOnTerminate = false;

protected:
    virtual void Execute() = 0;
    // Runs on the worker thread after Execute: tells whoever needs to know, for
    // example by posting a message to a window of the GUI thread.
    virtual void DoTerminate() {}
    // Waits up to Ms milliseconds; true at once when Terminate is called.
    bool WaitTerminated(DWORD ms);
    // Asks the thread to end and waits for it; a thread that never ran ends
    // without running Execute. Destructors of derived classes call it first,
    // while the members Execute uses still exist.
    void TerminateAndWait();

private:
    static unsigned __stdcall ThreadProc(void* self);

    UniqueHandle thread_;
    UniqueHandle terminateEvent_;
    unsigned threadId_ = 0;
    bool suspended_ = true;
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> terminated_{false};
};
