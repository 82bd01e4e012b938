#include "cli/batch.h"

#include <map>
#include <set>

#include "engine/file_creator.h"
#include "engine/room.h"

namespace torvane::cli {
namespace {

using FileCreator::ContentKind;

// The file's path: a name given whole, or the size's name with "_k" and
// ".dat".
std::string PathOf(const BatchFile& file, const std::string& given) {
  if (!given.empty()) return FileCreator::JoinPath(file.job.OutputFolder, given);
  std::string name = FileCreator::ResolveTarget(file.job)->name;
  if (file.copy > 1) name += "_" + std::to_string(file.copy);
  return FileCreator::JoinJobPath(file.job.OutputFolder, name);
}

}  // namespace

Result<std::vector<BatchFile>> PlanBatch(const Options& options, const std::string& folder) {
  std::vector<BatchFile> files;
  if (options.fill) {
    // Whole records; continuous content ends anywhere.
    const bool records = options.job.FixedLength && options.run.content == ContentKind::Random;
    const ByteCount unit = records ? 80 : 1;
    const auto plan = FileCreator::PlanFill(folder, options.reserve, options.max_file_size, unit);
    if (!plan) return Refuse(plan.error());
    std::map<ByteCount, int> copies;
    for (ByteCount size : *plan) {
      JobSettings job = options.job;
      job.UsePresetSize = false;
      job.CustomUnit = 0;
      job.CustomLength = std::to_string(size);
      files.push_back({job, ++copies[size], size});
    }
  } else {
    for (const JobSettings& job : options.jobs)
      for (int copy = 1; copy <= options.count; ++copy)
        files.push_back({job, copy, FileCreator::ResolveTarget(job)->size});
  }

  std::vector<ByteCount> sizes;
  ByteCount freed = 0;
  std::set<std::string> paths;
  std::string existing;
  for (BatchFile& file : files) {
    file.job.OutputFolder = folder;
    sizes.push_back(file.size);
    if (options.stream) continue;  // no file: nothing to name or make room for
    const std::string path = PathOf(file, options.run.file_name);
    // Two sizes of one name would make one file twice and report it twice.
    if (!paths.insert(path).second)
      return Refuse("the sizes asked for name " + path + " twice (--count makes copies)");
    if (options.no_clobber && FileCreator::NameTaken(path))
      existing += (existing.empty() ? "" : ", ") + path;
    freed += FileCreator::FreedByReplacing(path);
  }
  if (!existing.empty()) return Refuse("--no-clobber: already there: " + existing);
  if (options.stream) return files;
  if (options.run.verify != FileCreator::VerifyMode::None) return files;
  const bool needs_space = options.space_check && options.run.content != ContentKind::Sparse;
  if (const auto room = FileCreator::CheckRoom(folder, sizes, needs_space, freed); !room)
    return Refuse(room.error());
  return files;
}

}  // namespace torvane::cli
