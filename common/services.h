#pragma once

// The program's seams to the outside world, held in one place. Each library
// asks CurrentServices() for the seam it needs; a null pointer stands for
// that library's own production implementation, so the core runs with
// nothing set and common needs to know the other libraries' seams only by
// name. The front ends and the tests replace seams for one scope with
// ScopedServices.
//
// StopFlag and the engine's run state are process-wide state, not seams, and
// do not live here.

#include "common/yield.h"

namespace torvane {

class Clock;
class CryptoProvider;  // random/crypto_provider.h
class FileLayer;       // bigfiles/file_layer.h
class JobSource;
class MessageBoxes;
class PseudoRandom;
class RunView;
namespace AddFolder {
class FolderChooser;  // ui/add_folder.h: only the window, which has Qt, uses it
}

struct Services {
  FileLayer* files = nullptr;             // every file call; null: the POSIX layer
  CryptoProvider* crypto = nullptr;       // random bytes and digests; null: OpenSSL and nettle
  Clock* clock = nullptr;                 // null: the system's monotonic clock
  PseudoRandom* pseudo_random = nullptr;  // null: the built-in generator
  MessageBoxes* boxes = nullptr;          // null: boxes go to standard error
  EventPump* pump = nullptr;              // null: yields do nothing
  YieldPolicy yield_policy = YieldPolicy::Production();
  // The front end a run works for (common/job.h): where the job and its live
  // values come from, and what shows the run. Both must outlive every run;
  // without them a Create click does nothing.
  JobSource* job = nullptr;
  RunView* view = nullptr;
  AddFolder::FolderChooser* folder_chooser = nullptr;  // null: the desktop's own
};

// The services in force: the innermost ScopedServices, else the defaults.
const Services& CurrentServices();

// Puts changed services in force for its lifetime, then restores exactly the
// ones it found. It starts from the services in force, so whatever `edit`
// leaves alone stays as it was:
//
//   ScopedServices scope([&](Services& s) { s.boxes = &recorder; });
//
// The changes take effect together, when the scope begins; the yield timer
// starts afresh then and again when the scope ends. Scopes end in the
// reverse order of their beginning (locals and members do).
class ScopedServices {
 public:
  template <class Edit>
  explicit ScopedServices(Edit&& edit) : services_(CurrentServices()) {
    edit(services_);
    Enter();
  }
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  void Enter();

  Services services_;
  const Services* previous_ = nullptr;
};

}  // namespace torvane
