#include "image_io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>
#include <vector>

namespace taloran {

namespace {

constexpr const char kPartialEnding[] = ".partial";

// The process's file mode mask, read without changing it (umask() would, for every thread at once).
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("Umask:")) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return static_cast<mode_t>(022);
  }();
  return mask;
}

}  // namespace

std::string CannotWrite(const std::filesystem::path& path, int error) {
  return "Cannot write " + path.string() + ": " + std::strerror(error);
}

std::optional<TemporaryFile> MakeTemporaryBeside(const std::filesystem::path& path, int& error) {
  // mkstemps makes the file with O_CREAT | O_EXCL under a random name: an existing file or a link
  // there makes it try another name, never open what is there.
  const std::string pattern = path.string() + ".XXXXXX" + kPartialEnding;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemps(name.data(), static_cast<int>(sizeof kPartialEnding - 1));
  if (descriptor < 0) {
    error = errno;
    return std::nullopt;
  }
  // mkstemps gives 0600; an output is as readable as any file the user makes.
  fchmod(descriptor, static_cast<mode_t>(0666 & ~ProcessUmask()));
  return TemporaryFile{descriptor, std::filesystem::path(name.data())};
}

void RemoveLeftTemporaries(const std::vector<std::filesystem::path>& outputs) {
  constexpr std::size_t kRandomPart = 7;  // ".XXXXXX"
  std::set<std::filesystem::path> wanted(outputs.begin(), outputs.end()), folders;
  for (const std::filesystem::path& output : outputs) folders.insert(output.parent_path());
  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (!name.ends_with(kPartialEnding) || name.size() <= sizeof kPartialEnding - 1 + kRandomPart) continue;
      const std::string stem = name.substr(0, name.size() - (sizeof kPartialEnding - 1) - kRandomPart);
      if (!wanted.contains(folder / stem)) continue;
      std::error_code ignored;
      std::filesystem::remove(it->path(), ignored);
    }
  }
}

std::optional<std::string> RenameIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::rename(temporary, path, error);  // replaces a link at `path`, never writes through it
  if (!error) return std::nullopt;
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return "Cannot write " + path.string() + ": " + error.message();
}

std::optional<std::string> WhyNotWritableBeside(const std::filesystem::path& path) {
  int error = 0;
  const std::optional<TemporaryFile> trial = MakeTemporaryBeside(path, error);
  if (!trial) return std::strerror(error);
  close(trial->descriptor);
  std::error_code ignored;
  std::filesystem::remove(trial->name, ignored);
  return std::nullopt;
}

std::optional<std::string> WriteWholeFileOrWhy(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  int error = 0;
  const std::optional<TemporaryFile> temporary = MakeTemporaryBeside(path, error);
  if (!temporary) return CannotWrite(path, error);
  for (std::size_t written = 0; written < bytes.size() && error == 0;) {
    const ssize_t n = write(temporary->descriptor, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  if (close(temporary->descriptor) != 0 && error == 0) error = errno;  // a full disk may show only here
  if (error == 0) return RenameIntoPlace(temporary->name, path);
  std::error_code ignored;
  std::filesystem::remove(temporary->name, ignored);
  return CannotWrite(path, error);
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  return !WriteWholeFileOrWhy(path, bytes);
}

}  // namespace taloran
