// A folder the tools assemble their results in before moving them into
// place. Its name is unique (a prefix and six random characters) and it is
// locked for as long as its process lives, so that a later run can tell the
// folders of interrupted runs from those of runs still going and remove them.
#pragma once

#include <string>
#include <string_view>

namespace drevel {

class ScratchFolder {
  public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Removes the folder with everything in it, unless it was moved away.
    ~ScratchFolder();

    // Makes parent + "/" + prefix + six characters. False when it cannot be
    // made; errno tells why.
    bool create(const std::string& parent, std::string_view prefix);
    const std::string& path() const { return path_; }
    // Moves the folder to the destination, which must not exist; it is then
    // no longer this folder's to remove.
    bool move_to(const std::string& destination);

    // Removes the folders of parent whose names begin with prefix and that no
    // living process holds: those left by runs that were interrupted.
    static void remove_stale(const std::string& parent, std::string_view prefix);

  private:
    std::string path_;
    int lock_ = -1;
};

} // namespace drevel
