#include "storage/linux/mount_table.h"

#include <libmount.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <memory>

#include "storage/error_codes.h"

namespace quillbrane {
namespace {

struct TableDeleter {
  void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterDeleter {
  void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};

bool HasReadOnlyOption(const char* options) {
  return options != nullptr && mnt_optstr_get_option(options, "ro", nullptr, nullptr) == 0;
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

std::uint32_t ReadMountTable(const std::string& mountInfoPath, std::vector<LinuxMount>& mounts) {
  mounts.clear();
  std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
  std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
  if (!table || !iter) return WindowsErrorFromErrno(ENOMEM);
  // libmount returns a negative errno value when the file cannot be read;
  // lines it cannot parse are skipped.
  if (const int rc = mnt_table_parse_file(table.get(), mountInfoPath.c_str()); rc != 0) {
    return WindowsErrorFromErrno(rc < 0 ? -rc : EINVAL);
  }
  libmnt_fs* fs = nullptr;
  while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
    LinuxMount mount;
    mount.record.target = TextOrEmpty(mnt_fs_get_target(fs));
    mount.record.root = TextOrEmpty(mnt_fs_get_root(fs));
    mount.record.readOnly =
        HasReadOnlyOption(mnt_fs_get_vfs_options(fs)) || HasReadOnlyOption(mnt_fs_get_fs_options(fs));
    mount.source = TextOrEmpty(mnt_fs_get_source(fs));
    const dev_t device = mnt_fs_get_devno(fs);
    mount.major = major(device);
    mount.minor = minor(device);
    mounts.push_back(std::move(mount));
  }
  return 0;
}

}  // namespace quillbrane
