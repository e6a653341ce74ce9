#include "os/folder_watch.h"

namespace segweld::os {

std::unique_ptr<FolderWatch> FolderWatch::Open(const std::string&, std::string& error) {
    error = "watching a folder is not available on this system";
    return nullptr;
}

}  // namespace segweld::os
