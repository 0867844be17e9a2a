#pragma once
// A folder of its own for the running test (named after the process, the suite and the test, so
// parallel runs never share one), made empty at the start and removed at the end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace orvex::test {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "orvex") {
        std::string name = prefix + "_" + std::to_string(::getpid());
        if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
            name += std::string("_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';  // parameterised names hold slashes
        path_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace orvex::test
