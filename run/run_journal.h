// The journal of a long run (batch, export), so that a killed run can be resumed: its first line
// names the run's arguments, and each finished capture appends a line, flushed at once, after its
// files are in place. A run with --resume takes the finished captures from the journal of an
// earlier run with the same arguments and does only the rest; a run without it starts a new one.
//
// While a run holds its journal it holds an advisory lock beside it ("NAME.lock", which keeps the
// holder's process id), so that a second run into the same place is refused rather than tearing
// the first one's files.
//
// Threading contract: Open on one thread before the workers start; Append from any worker, one
// line at a time under the journal's own lock; entries() only while no worker runs.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "run/inputs.h"

namespace taloran {

// The journal `name` ("OUT/.taloran-export.journal") of shard K of N: "OUT/.taloran-export.1-of-2.journal",
// so that shards writing into one folder each keep and resume their own; the name itself for one shard.
std::filesystem::path ShardJournal(const std::filesystem::path& name, Shard shard);

class RunJournal {
 public:
  RunJournal() = default;
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Why a journal cannot be opened: it is another run's (a usage error), or it cannot be written.
  struct Refusal {
    std::string text;
    bool otherRun = false;
  };

  // Opens the journal at `path` for a run with `arguments` (one line of text): a new one, or with
  // `resume` the earlier run's (none yet is a new one). Why not, where it cannot: another live run
  // holds it ("another run (pid N) is writing here"), it is another run's, or it cannot be written.
  std::optional<Refusal> Open(const std::filesystem::path& path, const std::string& arguments, bool resume);

  // The earlier run's finished captures: position in the run, and the line it wrote.
  const std::map<std::size_t, std::string>& entries() const { return entries_; }

  // Records capture `position` as finished with `entry` (one line); false when it cannot be written.
  bool Append(std::size_t position, const std::string& entry);

  // Closes and removes the journal: the run it records finished every capture, so there is nothing
  // to resume. A run that was stopped or left captures unfinished keeps it.
  void Remove();

 private:
  std::optional<Refusal> Lock(const std::filesystem::path& path);

  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  int lock_ = -1;  // the lock file's descriptor while this run holds it
  std::mutex mutex_;
  std::map<std::size_t, std::string> entries_;
};

}  // namespace taloran
