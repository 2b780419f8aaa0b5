#pragma once

namespace update {

// What the task queue needs of Update's window besides its list.
class TaskWindow {
public:
    virtual ~TaskWindow() = default;

    // True while the window is lower than the height it has once grown for a
    // third row (title + bottom of the skin + 104 pixels).
    virtual bool IsShorterThanGrownSkin() = 0;
    // One row (24 pixels) taller.
    virtual void GrowSkinByRow() = 0;
    // Scrolls the list to its last row and raises the window once.
    virtual void BringListToFront() = 0;
    // After one second the window asks TaskQueue::CloseTimerFired() on its own
    // thread, and closes when that says so.
    virtual void StartCloseTimer() = 0;
};

// Sends an ended task's record back to the lobby client.
class ReportLink {
public:
    virtual ~ReportLink() = default;
    virtual void SendReport(const char* bytes, int length) = 0;
};

} // namespace update
