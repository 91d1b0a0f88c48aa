#include "run/run_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "image_io/output_file.h"

namespace taloran {

namespace {

constexpr const char* kHeader = "taloran-journal 1 ";

// "position<TAB>entry": the position, or nothing for a line of another form.
std::optional<std::size_t> PositionOf(const std::string& line, std::size_t& tab) {
  tab = line.find('\t');
  if (tab == std::string::npos || tab == 0) return std::nullopt;
  std::size_t position = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + tab, position);
  if (error != std::errc() || end != line.data() + tab) return std::nullopt;
  return position;
}

}  // namespace

std::filesystem::path ShardJournal(const std::filesystem::path& name, Shard shard) {
  if (shard.count <= 1) return name;
  std::string ending = ".";
  ending.append(std::to_string(shard.index)).append("-of-").append(std::to_string(shard.count));
  ending.append(name.extension().string());
  std::filesystem::path sharded = name;
  return sharded.replace_extension(ending);
}

RunJournal::~RunJournal() {
  if (file_ != nullptr) std::fclose(file_);
  if (lock_ >= 0) close(lock_);  // releases the lock
}

std::optional<RunJournal::Refusal> RunJournal::Lock(const std::filesystem::path& path) {
  const std::filesystem::path name = path.string() + ".lock";
  lock_ = open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (lock_ < 0) return Refusal{CannotWrite(name, errno), false};
  if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    char holder[32] = {};
    const ssize_t n = pread(lock_, holder, sizeof holder - 1, 0);
    close(lock_), lock_ = -1;
    const std::string pid = n > 0 ? std::string(holder, static_cast<std::size_t>(n)) : "unknown";
    return Refusal{"another run (pid " + pid + ") is writing here (" + path.string() + "); let it finish first", true};
  }
  const std::string pid = std::to_string(getpid());
  if (ftruncate(lock_, 0) != 0 || pwrite(lock_, pid.data(), pid.size(), 0) < 0) {
    return Refusal{CannotWrite(name, errno), false};
  }
  return std::nullopt;
}

std::optional<RunJournal::Refusal> RunJournal::Open(const std::filesystem::path& path, const std::string& arguments,
                                                    bool resume) {
  const std::string header = kHeader + arguments;
  if (auto refusal = Lock(path)) return refusal;
  std::error_code looked;
  const auto status = std::filesystem::status(path, looked);  // a link at the name is replaced, not refused
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return Refusal{path.string() + ": not a regular file; a journal is one", true};
  }
  if (resume) {
    std::ifstream earlier(path, std::ios::binary);
    std::stringstream text;
    text << earlier.rdbuf();
    std::string line;
    if (earlier && std::getline(text, line)) {
      if (text.eof()) {  // no line break after the first line: it was cut short while written
        return Refusal{
            path.string() + " was cut short before its first line was whole; run without --resume to start anew", true};
      }
      if (line != header) {
        return Refusal{
            path.string() + " is the journal of a run with other arguments; run without --resume to start anew", true};
      }
      // A last line cut short by a kill has no line break and is dropped, as that capture was not
      // finished; any other line not of the journal's form makes the journal no journal of ours.
      for (std::size_t number = 2; std::getline(text, line); ++number) {
        if (text.eof()) break;
        std::size_t tab = 0;
        const std::optional<std::size_t> position = PositionOf(line, tab);
        if (!position) {
          return Refusal{path.string() + ": line " + std::to_string(number) +
                             " is no journal entry; run without --resume to start anew",
                         true};
        }
        entries_[*position] = line.substr(tab + 1);
      }
    }
  }
  // The journal is written anew beside its name and renamed into place, so that a kill or a full
  // disk while it is written leaves the earlier one as it was; its entries then follow.
  std::string text = header + "\n";
  for (const auto& [position, entry] : entries_) text += std::to_string(position) + "\t" + entry + "\n";
  int error = 0;
  const std::optional<TemporaryFile> temporary = MakeTemporaryBeside(path, error);
  if (!temporary) return Refusal{CannotWrite(path, error), false};
  file_ = fdopen(temporary->descriptor, "w");
  if (file_ == nullptr) {
    error = errno;
    close(temporary->descriptor);
  } else if (std::fputs(text.c_str(), file_) < 0 || std::fflush(file_) != 0) {
    error = errno;
    std::fclose(file_), file_ = nullptr;
  }
  if (file_ == nullptr) {
    std::error_code ignored;
    std::filesystem::remove(temporary->name, ignored);
    return Refusal{CannotWrite(path, error), false};
  }
  if (auto why = RenameIntoPlace(temporary->name, path)) {
    std::fclose(file_), file_ = nullptr;
    return Refusal{std::move(*why), false};
  }
  path_ = path;
  return std::nullopt;
}

void RunJournal::Remove() {
  const std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  std::fclose(file_), file_ = nullptr;
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
  std::filesystem::remove(path_.string() + ".lock", ignored);  // still held: no run can take it meanwhile
}

bool RunJournal::Append(std::size_t position, const std::string& entry) {
  const std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fprintf(file_, "%zu\t%s\n", position, entry.c_str()) > 0 && std::fflush(file_) == 0;
}

}  // namespace taloran
