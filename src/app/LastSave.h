// Saves a changed operation log on the ways out of the program that skip the
// orderly exit: exit() called from inside a library (Qt calls it when the X
// server goes away), a fatal Qt message, std::terminate. Records that reached
// the log must not be lost because the display did.
#pragma once

#include <string>

class TOperationLog;

class LastSave {
 public:
  // From now until destruction, those ways out save `log` to `path`.
  LastSave(TOperationLog& log, std::string path);
  ~LastSave();
  LastSave(const LastSave&) = delete;
  LastSave& operator=(const LastSave&) = delete;

  // Saves the armed log if it changed; does nothing when none is armed.
  static void Now();
};
