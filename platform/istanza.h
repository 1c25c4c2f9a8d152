// One running copy per user: the window and the command line share one lock.
#pragma once

#include <string>

namespace bv {

class BloccoIstanza {
  public:
    BloccoIstanza() = default;
    ~BloccoIstanza();
    BloccoIstanza(const BloccoIstanza&) = delete;
    BloccoIstanza& operator=(const BloccoIstanza&) = delete;

    // True when this is the only running copy; the lock is held until destruction.
    bool Acquisisci();

  private:
    int fd_ = -1;
};

// The lock file: $XDG_RUNTIME_DIR/bvbackup.lock, else /tmp/bvbackup-<uid>.lock.
std::string PercorsoBloccoIstanza();

}  // namespace bv
