#include "run/run_journal.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace taloran {

namespace {

constexpr const char* kHeader = "taloran-journal 1 ";

}  // namespace

RunJournal::~RunJournal() {
  if (file_ != nullptr) std::fclose(file_);
}

std::optional<RunJournal::Refusal> RunJournal::Open(const std::filesystem::path& path, const std::string& arguments,
                                                    bool resume) {
  const std::string header = kHeader + arguments;
  bool keep = false;
  if (resume) {
    std::ifstream earlier(path);
    std::string line;
    if (earlier && std::getline(earlier, line)) {
      if (line != header) {
        return Refusal{
            path.string() + " is the journal of a run with other arguments; run without --resume to start anew", true};
      }
      keep = true;
      // Entries are "position<TAB>line"; a last line cut short by a kill has no line break and is
      // dropped, as that capture was not finished.
      while (std::getline(earlier, line)) {
        if (earlier.eof()) break;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        entries_[std::stoull(line.substr(0, tab))] = line.substr(tab + 1);
      }
    }
  }
  if (keep) {
    // Rewrite the finished entries whole, so that a torn last line does not stay in the file.
    std::string text = header + "\n";
    for (const auto& [position, entry] : entries_) text += std::to_string(position) + "\t" + entry + "\n";
    file_ = std::fopen(path.c_str(), "w");
    if (file_ != nullptr && std::fputs(text.c_str(), file_) < 0) std::fclose(file_), file_ = nullptr;
  } else {
    file_ = std::fopen(path.c_str(), "w");
    if (file_ != nullptr && std::fprintf(file_, "%s\n", header.c_str()) < 0) std::fclose(file_), file_ = nullptr;
  }
  if (file_ == nullptr || std::fflush(file_) != 0) {
    return Refusal{"Cannot write " + path.string() + ": " + std::strerror(errno), false};
  }
  return std::nullopt;
}

bool RunJournal::Append(std::size_t position, const std::string& entry) {
  const std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fprintf(file_, "%zu\t%s\n", position, entry.c_str()) > 0 && std::fflush(file_) == 0;
}

}  // namespace taloran
