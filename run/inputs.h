// The captures a run's inputs name: files, folders (their captures as the viewer lists them) and
// "-" (paths on standard input, a line each), each capture once, in the order given.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace taloran {

// K of N: the captures at positions i with i mod N = K - 1, 1 <= K <= N.
struct Shard {
  unsigned index = 1;
  unsigned count = 1;
};

// The name a file goes by once links and dots are resolved; the path made normal where it cannot be.
// Two names of one file (a link, "./", "..") give the same.
std::string CanonicalName(const std::filesystem::path& path);

// The captures `inputs` name, "-" read from `in`; a capture met again (by its canonical path) is left out.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, std::istream& in);

// "No captures in flight/ (a folder gives its .tif files)": what a person is told when `inputs`
// named no capture at all.
std::string NoCapturesText(const std::vector<std::string>& inputs);

// Leaves out of `captures` the files export and mosaic wrote (an export or a map into the flight's
// folder puts them beside the captures), and says so on `err` in one line naming the first few.
void SkipExportedFiles(std::vector<std::string>& captures, std::ostream& err);

// The captures of `captures` that fall to `shard`, in order.
std::vector<std::string> ShardOf(const std::vector<std::string>& captures, Shard shard);

// A line for the person when some capture names are not UTF-8 (file names are bytes): JSON then
// carries them with U+FFFD in place of their invalid bytes; nothing when every name is.
std::optional<std::string> NonUtf8NamesNote(const std::vector<std::string>& captures);

// A run's captures: every one the inputs name (outputs are held against them all) and the shard's.
struct RunCaptures {
  std::vector<std::string> all;
  std::vector<std::string> mine;
};

// Expands `inputs` and takes `shard`'s; nothing, after saying so on `err`, when they name no capture.
// Names that are not UTF-8 are noted on `err` once.
std::optional<RunCaptures> TakeCaptures(const std::vector<std::string>& inputs, Shard shard, std::istream& in,
                                        std::ostream& err);

// "A and B would both write P" for the first two captures whose outputs (`outputOf`) share a path.
std::optional<std::string> ClashingOutputs(
    const std::vector<std::string>& captures,
    const std::function<std::filesystem::path(const std::string& capture)>& outputOf);

}  // namespace taloran
