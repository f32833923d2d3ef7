#pragma once

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>

#include <cstdlib>
#endif

namespace tallivo::testing {

// Root may write read-only files and folders; for the length of a test it acts as an
// ordinary account ("nobody"; the effective ids only, so it can return). `folder` is opened
// to everyone so that the account can still reach the test's files. Does nothing elsewhere.
class ActAsOrdinaryAccount {
  public:
    explicit ActAsOrdinaryAccount(const std::filesystem::path& folder) {
#ifndef _WIN32
        if (geteuid() != 0) return;
        std::filesystem::permissions(folder, std::filesystem::perms::all);
        switched_ = setegid(65534) == 0 && seteuid(65534) == 0;
#else
        (void)folder;
#endif
    }
    ~ActAsOrdinaryAccount() {
#ifndef _WIN32
        if (!switched_) return;
        if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
#endif
    }
    ActAsOrdinaryAccount(const ActAsOrdinaryAccount&) = delete;
    ActAsOrdinaryAccount& operator=(const ActAsOrdinaryAccount&) = delete;

  private:
    bool switched_ = false;
};

}  // namespace tallivo::testing
