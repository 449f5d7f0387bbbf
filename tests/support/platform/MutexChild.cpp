#include "tests/support/platform/MutexChild.h"

#include <fstream>
#include <thread>

#include "lkmdb7/platform/internal/NamedMutex.h"

using namespace LKMDB7;

namespace lkmdb7_test {

namespace {

// Arguments: name, ready file, milliseconds until release ("" for never), milliseconds to wait.
const ChildMode kHold("mutex-hold", [](const ChildArgs& args) {
    if (args.size() != 4) {
        return 2;
    }
    HANDLE h = LKMDB7::CreateMutexA(nullptr, 0, args[0].c_str());
    if (h == nullptr) {
        return 2;
    }
    const auto wait = static_cast<DWORD>(std::stoul(args[3]));
    if (!LKMDB7::WaitObtained(LKMDB7::WaitForSingleObject(h, wait))) {
        return 1;
    }
    std::ofstream(args[1]).put('1');
    if (!args[2].empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(args[2])));
        LKMDB7::ReleaseMutex(h);
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
});

// Arguments: name, milliseconds to wait.
const ChildMode kTake("mutex-take", [](const ChildArgs& args) {
    if (args.size() != 2) {
        return 2;
    }
    HANDLE h = LKMDB7::CreateMutexA(nullptr, 0, args[0].c_str());
    if (h == nullptr) {
        return 2;
    }
    const auto ms = static_cast<DWORD>(std::stoul(args[1]));
    return LKMDB7::WaitObtained(LKMDB7::WaitForSingleObject(h, ms)) ? 0 : 1;
});

}  // namespace

ChildProcess StartMutexHolder(const std::string& name, const std::filesystem::path& readyFile,
                              std::optional<std::chrono::milliseconds> releaseAfter, DWORD waitMs) {
    return ChildProcess("mutex-hold", {name, readyFile.string(),
                                       releaseAfter ? std::to_string(releaseAfter->count()) : "",
                                       std::to_string(waitMs)});
}

int ChildTakesMutex(const std::string& name, DWORD ms) {
    return ChildProcess("mutex-take", {name, std::to_string(ms)}).Wait();
}

}  // namespace lkmdb7_test
