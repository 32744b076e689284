// Keeps the setup dialog's commands from overlapping an install attempt.
//
// An attempt runs inside the Install command handler; the only message loop that can run
// meanwhile is the modal loop of a failed step's message box, which has no owner and so
// leaves the dialog taking input. Without this gate a second Install would start a nested
// attempt on the same install context, and a close would delete the meter and destroy the
// dialog under the attempt that is still going to use them.
#ifndef TSARIN_UI_SETUP_COMMAND_GATE_H
#define TSARIN_UI_SETUP_COMMAND_GATE_H

class SetupCommandGate {
 public:
  // True when an attempt may start now: none is running and the dialog is not closed.
  bool BeginInstall() {
    if (attemptRunning_ || closed_) return false;
    attemptRunning_ = true;
    return true;
  }
  // Ends the running attempt; true when a close arrived meanwhile and must run now.
  bool EndInstall() {
    attemptRunning_ = false;
    return TakeClose();
  }
  // True when the close must run now; during an attempt it is kept for EndInstall.
  bool RequestClose() {
    if (closed_) return false;
    closePending_ = true;
    return attemptRunning_ ? false : TakeClose();
  }
  bool AttemptRunning() const { return attemptRunning_; }
  bool Closed() const { return closed_; }

 private:
  bool TakeClose() {
    if (!closePending_ || closed_) return false;
    closePending_ = false;
    closed_ = true;
    return true;
  }

  bool attemptRunning_ = false;
  bool closePending_ = false;
  bool closed_ = false;
};

#endif  // TSARIN_UI_SETUP_COMMAND_GATE_H
