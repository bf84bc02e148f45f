// OLE for the calling thread, for the life of the object: the shell's folder picker and
// the shortcut's COM objects need it on the UI thread. On Windows that is OleInitialize
// and OleUninitialize (whose result the program does not look at); the Linux layer has
// nothing to set up.
#pragma once

namespace platform {

class OleSession {
 public:
  OleSession();
  ~OleSession();
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  bool initialised_ = false;
};

}  // namespace platform
