// Where the programs find the files that come with them.

#include "platform/ProgramFiles.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

namespace orbisight {
namespace {
namespace fs = std::filesystem;

TEST(ProgramFiles, ProgramPathIsTheRealExecutable) {
    fs::path program = ProgramPath();
    ASSERT_TRUE(program.is_absolute()) << program;
    EXPECT_EQ(program.filename(), "platform_tests");
    EXPECT_EQ(fs::canonical(program), program) << "symbolic links are resolved";
    EXPECT_EQ(ProgramFolder(), program.parent_path());
}

TEST(ProgramFiles, InstalledFoldersLieBesideTheProgramFolder) {
    fs::path data = InstalledDataFolder("/opt/x/bin");
    fs::path library = InstalledLibraryFolder("/opt/x/bin");
    // Normalised, inside the same prefix, never the program folder itself.
    EXPECT_EQ(data.lexically_normal(), data);
    EXPECT_EQ(data.string().rfind("/opt/x/", 0), 0u) << data;
    EXPECT_EQ(data.filename(), "orbisight");
    EXPECT_EQ(library.string().rfind("/opt/x/", 0), 0u) << library;
    EXPECT_EQ(library.filename(), "orbisight");
    EXPECT_NE(data, library);
    // No folder, no place: nothing relative to the working directory.
    EXPECT_TRUE(InstalledDataFolder("").empty());
    EXPECT_TRUE(InstalledLibraryFolder("").empty());
}

TEST(ProgramFiles, FirstExistingCandidateElseTheFirstNamed) {
    char pattern[] = "/tmp/orbisight-programfiles-XXXXXX";
    fs::path dir = ::mkdtemp(pattern);
    fs::path a = dir / "a";
    fs::path b = dir / "b";
    std::ofstream(b) << "b";
    EXPECT_EQ(FirstExisting({a, b}), b);
    std::ofstream(a) << "a";
    EXPECT_EQ(FirstExisting({a, b}), a);
    EXPECT_EQ(FirstExisting({fs::path(), b}), b) << "an empty candidate is skipped";
    fs::remove(a);
    fs::remove(b);
    EXPECT_EQ(FirstExisting({fs::path(), a, b}), a) << "none exists: the first named";
    EXPECT_TRUE(FirstExisting({fs::path()}).empty());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orbisight
