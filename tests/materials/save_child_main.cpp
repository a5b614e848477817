// Saves a package like the materials window does and can be stopped dead at
// the k-th point where the save reports progress (before each copy, rename
// and removal, and after each chunk copied), as a kill or power loss would
// stop it. Optionally limits the size of files it may write, as a full disk.
//
//   materials_save_child WORK SHOWN STORAGE STOP_AT [FILE_SIZE_LIMIT [unprivileged]]
//
// STOP_AT 0 runs to the end. FILE_SIZE_LIMIT "-" sets no limit. With
// "unprivileged" a child started as root runs as the user nobody, for whom
// folders of other users are read-only, as a disc or a write-protected share
// is. Prints "points N" (the points passed), "status S", "problem P" (the
// destination's failure) and one line "failure <problem> <material>/<entry>"
// per entry not stored.

#include "materials/package_fixture.h"
#include "materials/save_folder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

class StopAt final : public materials::SaveObserver {
  public:
    explicit StopAt(long at) : at_(at) {}
    void stage(materials::SaveStage, const std::string&) override { pass(); }
    void copied(std::uint64_t, std::uint64_t) override { pass(); }
    long points() const { return points_; }

  private:
    void pass() {
        if (++points_ == at_)
            std::_Exit(9); // no clean-up of any kind, as a kill
    }
    long at_;
    long points_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return 2;
#ifndef _WIN32
    if (argc > 5 && std::string(argv[5]) != "-") {
        std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail instead
        const rlim_t limit = std::strtoull(argv[5], nullptr, 10);
        const rlimit fileSize{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fileSize);
    }
    if (argc > 6 && std::string(argv[6]) == "unprivileged" && geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            return 3;
    }
#endif
    StopAt observer(std::atol(argv[4]));
    const materials::SaveOutcome outcome =
        materials::SavePackage(package_test::Request(platform::PathFromUtf8(argv[1]),
                                                     platform::PathFromUtf8(argv[2]), argv[3]),
                               &observer);
    std::printf("points %ld\n", observer.points());
    std::printf("status %d\n", static_cast<int>(outcome.status));
    std::printf("problem %d\n", static_cast<int>(outcome.writeProblem));
    for (const materials::SaveFailure& f : outcome.failures)
        std::printf("failure %d %s/%s\n", static_cast<int>(f.problem), f.material.c_str(),
                    f.entry.c_str());
    return outcome.saved() ? 0 : 1;
}
