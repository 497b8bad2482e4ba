// Finds the message boxes that the calling thread shows, from a second
// thread, presses OK on each and keeps what it saw. A hook on the calling
// thread also counts every box created, including one that a pending quit
// message closes before it is ever shown.
//
// The watching thread never sends a message to the watched thread (it only
// reads window state and posts), so the test thread may wait for it at any
// time.
#pragma once

#include <windows.h>

struct SeenBox {
  HWND owner;
  char caption[128];  // code page 932
  char text[512];     // code page 932
};

class MessageBoxWatcher {
 public:
  // Starts watching the calling thread's top-level windows. Dialogs made
  // from the installer's templates are not message boxes: `ignored` is one.
  explicit MessageBoxWatcher(HWND ignored = nullptr);
  ~MessageBoxWatcher();

  // Stops watching and returns how many boxes were created.
  int Stop();

  static constexpr int kMaxBoxes = 4;
  SeenBox boxes[kMaxBoxes] = {};  // the first `count` boxes seen on screen
  HWND seenWindows[kMaxBoxes] = {};
  int count = 0;
  int created = 0;

  // For the watching thread only.
  void Look();
  DWORD watchedThread;
  HWND ignored;

 private:
  HANDLE stopEvent;
  HANDLE thread;
  HHOOK hook;
};
