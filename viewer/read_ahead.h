// The image viewer's read-ahead: the next entry of a dropped list decoded on
// a thread of its own (a tk::Task), straight into its display bitmap, while
// the user looks at the current one, so that "次へ" only has to show it.
//
// One read at a time, and at most one picture held besides the shown one:
// a read of another entry is given up (its decoder stops at its next row)
// and waited for before a new one starts, and before the viewer decodes a
// picture itself. A read that failed, was given up or is no longer wanted
// is thrown away, never shown.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "toolkit/toolkit.h"
#include "viewer/pixels.h"

namespace viewer {

class ReadAhead {
 public:
  ReadAhead() = default;
  ~ReadAhead() { Clear(); }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts reading entry `index`, the file `path` (transparent pixels on
  // `background`), unless that read runs or has ended already; any other
  // read is given up first.
  void Start(int index, const std::string& path, Rgb background = {});
  // The picture of that entry read ahead, waiting for its read while it
  // runs; null when there is none (never started, failed). Every read is
  // over afterwards.
  std::unique_ptr<tk::Picture> Take(int index, const std::string& path);
  // Gives up the read and throws its picture away.
  void Clear();
  // The entry being read or read (-1: none).
  int Entry() const;

 private:
  // Shared with the worker's thread, which writes `picture` until the task
  // has ended.
  struct Read {
    int index = -1;
    std::string path;
    Rgb background;
    std::atomic<bool> cancel{false};
    std::unique_ptr<tk::Picture> picture;
  };
  std::shared_ptr<Read> read_;
  std::unique_ptr<tk::Task> task_;
  std::unique_ptr<tk::Picture> ready_;  // handed over on the user-interface thread
};

}  // namespace viewer
