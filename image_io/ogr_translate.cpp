#include "image_io/ogr_translate.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace taloran {

namespace {

constexpr const char* kTranslator = "ogr2ogr";
constexpr std::size_t kMessageBytes = 600;  // of ogr2ogr's complaint, in ours

// The whole of a descriptor's bytes.
std::string ReadAll(int fd) {
  std::string bytes;
  char chunk[65'536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      bytes.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return bytes;
    }
  }
}

// What the child said went wrong: its first error, else that no driver opened the file, else its
// last line.
std::string Complaint(const std::string& said) {
  std::string last;
  std::size_t start = 0;
  while (start < said.size()) {
    std::size_t end = said.find('\n', start);
    if (end == std::string::npos) end = said.size();
    const std::string line = said.substr(start, end - start);
    start = end + 1;
    if (line.rfind("ERROR ", 0) == 0 && line.find(": ") != std::string::npos) {
      last = line.substr(line.find(": ") + 2);
      break;
    }
    if (line.find("Unable to open datasource") != std::string::npos) {
      last = "no driver of OGR opens it";
      break;
    }
    if (!line.empty()) last = line;
  }
  return last.size() > kMessageBytes ? last.substr(0, kMessageBytes) + "..." : last;
}

}  // namespace

std::optional<std::string> TranslatedToGeoJson(const std::string& path, bool toLonLat, std::string& json) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) && !std::filesystem::is_directory(path, error)) {
    return "Cannot read " + path + ": " + (error ? error.message() : std::strerror(ENOENT));
  }
  // An absolute path, so that a name starting with '-' is never taken for an option.
  const std::string source = std::filesystem::absolute(path, error).string();
  std::vector<std::string> args{kTranslator, "-f", "GeoJSON", "-lco", "RFC7946=NO", "-lco", "WRITE_NAME=NO"};
  if (toLonLat) args.insert(args.end(), {"-t_srs", "EPSG:4326"});
  args.insert(args.end(), {"/vsistdout/", source});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return "Cannot read " + path + ": " + std::strerror(errno);
  FILE* said = std::tmpfile();  // the child's complaints, however long
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (said != nullptr) posix_spawn_file_actions_adddup2(&actions, fileno(said), STDERR_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, kTranslator, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    if (said != nullptr) std::fclose(said);
    if (spawned == ENOENT) {
      return "Cannot read " + path +
             ": vector files other than GeoJSON are read by GDAL's ogr2ogr (apt-get install "
             "gdal-bin), which is not on the PATH";
    }
    return "Cannot read " + path + ": cannot start ogr2ogr: " + std::strerror(spawned);
  }
  json = ReadAll(out[0]);
  close(out[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::string complaint;
  if (said != nullptr) {
    std::rewind(said);
    complaint = Complaint(ReadAll(fileno(said)));
    std::fclose(said);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || json.empty()) {
    return path + ": not a vector file OGR reads" + (complaint.empty() ? "" : " (" + complaint + ")");
  }
  return std::nullopt;
}

}  // namespace taloran
