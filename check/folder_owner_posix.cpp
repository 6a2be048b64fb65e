#include <sys/stat.h>
#include <unistd.h>

#include "check/folder_owner.h"

namespace check {

bool OwnedByAnotherUser(const std::string& folder) {
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && st.st_uid != geteuid();
}

}  // namespace check
