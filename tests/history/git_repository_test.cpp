#include "history/git_repository.h"

#include <git2.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "support/temp_dir.h"

namespace kbcfg::history {
namespace {

namespace fs = std::filesystem;
using kbcfg::testing::TempDir;

std::string readText(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p) << text;
}

class GitRepositoryTest : public ::testing::Test {
  protected:
    // No git identity from this machine's configuration: the user's comes from the repository's.
    static void SetUpTestSuite() {
        git_libgit2_init();  // held for the suite, so the search paths below stay set
        static TempDir noConfig;
        for (int level : {GIT_CONFIG_LEVEL_SYSTEM, GIT_CONFIG_LEVEL_XDG, GIT_CONFIG_LEVEL_GLOBAL,
                          GIT_CONFIG_LEVEL_PROGRAMDATA})
            git_libgit2_opts(GIT_OPT_SET_SEARCH_PATH, level, noConfig.path().c_str());
    }
    // HEAD's commit as a separate reader (the git command) would see it: id, message, author,
    // parent count; the id is empty when HEAD is unborn.
    std::vector<std::string> head() {
        git_repository* repo = nullptr;
        git_object* commit = nullptr;
        std::vector<std::string> seen;
        if (git_repository_open(&repo, folder.c_str()) == 0 &&
            git_revparse_single(&commit, repo, "HEAD^{commit}") == 0) {
            const auto* c = reinterpret_cast<const git_commit*>(commit);
            seen = {
                git_oid_tostr_s(git_commit_id(c)), git_commit_message(c),
                std::string(git_commit_author(c)->name) + " <" + git_commit_author(c)->email + ">",
                std::to_string(git_commit_parentcount(c))};
        }
        git_object_free(commit);
        git_repository_free(repo);
        return seen;
    }
    void withRepo(const std::function<void(git_repository*)>& body) {
        git_repository* repo = nullptr;
        ASSERT_EQ(git_repository_open(&repo, folder.c_str()), 0);
        body(repo);
        git_repository_free(repo);
    }

    TempDir dir;
    fs::path folder = dir / "fleet/configs";
    std::string error;
};

TEST_F(GitRepositoryTest, CommitsExactlyTheNamedFilesAndLeavesTheUsersWorkAlone) {
    auto repo = GitRepository::open(folder, error);
    ASSERT_TRUE(repo) << error;
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::others_write, fs::perms::none);
    EXPECT_EQ(repo->committed("a/config.json"), std::nullopt);

    const auto first =
        repo->commit({{"a/config.json", "A1"}, {"b/config.json", "B1"}}, "backup 1", error);
    ASSERT_TRUE(first && !first->empty()) << error;
    EXPECT_EQ(head(),
              (std::vector<std::string>{*first, "backup 1\n", "kbcfg <kbcfg@localhost>", "0"}));
    EXPECT_EQ(repo->commit({{"a/config.json", "A1"}}, "again", error), "");
    EXPECT_EQ(head()[0], *first);
    EXPECT_EQ(repo->committed("b/config.json"), "B1");
    EXPECT_EQ(repo->uncommitted({"a/config.json", "b/config.json", "c/config.json"}),
              std::vector<std::string>{});

    // The user edits a's file, stages a new c and an edit of d, and deletes b's file.
    fs::create_directories(folder / "c");
    writeText(folder / "a/config.json", "A mine");
    writeText(folder / "c/config.json", "C mine");
    writeText(folder / "d", "D staged");
    withRepo([](git_repository* r) {
        git_index* index = nullptr;
        git_repository_index(&index, r);
        git_index_add_bypath(index, "c/config.json");
        git_index_add_bypath(index, "d");
        git_index_write(index);
        git_index_free(index);
        git_config* config = nullptr;
        git_repository_config(&config, r);
        git_config_set_string(config, "user.name", "Ann Operator");
        git_config_set_string(config, "user.email", "ann@site.example");
        git_config_free(config);
    });
    fs::remove(folder / "b/config.json");
    const std::vector<std::string> all = {"a/config.json", "b/config.json", "c/config.json", "d",
                                          "e/config.json", "../x"};
    const std::vector<std::string> busy = {"a/config.json", "b/config.json", "c/config.json", "d",
                                           "../x"};
    EXPECT_EQ(repo->uncommitted(all), busy);

    const auto second = repo->commit({{"e/config.json", "E1"}}, "backup 2\n", error);
    ASSERT_TRUE(second && !second->empty()) << error;
    EXPECT_EQ(head(), (std::vector<std::string>{*second, "backup 2\n",
                                                "Ann Operator <ann@site.example>", "1"}));
    EXPECT_EQ(repo->committed("a/config.json"), "A1");
    EXPECT_EQ(repo->committed("b/config.json"), "B1");
    EXPECT_EQ(repo->committed("c/config.json"), std::nullopt);
    EXPECT_EQ(readText(folder / "a/config.json"), "A mine");
    EXPECT_EQ(readText(folder / "e/config.json"), "E1");
    EXPECT_EQ(repo->uncommitted(all), busy);
}

TEST_F(GitRepositoryTest, RefusesFoldersAndPathsOthersCouldRedirect) {
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);
    std::vector<std::pair<std::string, std::function<void()>>> folders = {
        {"a link",
         [&] {
             fs::create_directories(dir / "fleet");
             fs::create_directory_symlink(elsewhere, folder);
         }},
        {"a link above", [&] { fs::create_directory_symlink(elsewhere, dir / "fleet"); }},
        {"writable by others",
         [&] {
             fs::create_directories(folder);
             ::chmod(folder.c_str(), 0777);
         }},
    };
    if (::geteuid() == 0)
        folders.emplace_back("another user's", [&] {
            fs::create_directories(folder);
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        });
    for (const auto& [name, setUp] : folders) {
        fs::remove_all(dir / "fleet");
        setUp();
        EXPECT_EQ(GitRepository::open(folder, error), nullptr) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_FALSE(fs::exists(elsewhere / ".git")) << name;
    }

    fs::remove_all(dir / "fleet");
    auto repo = GitRepository::open(folder, error);
    ASSERT_TRUE(repo) << error;
    fs::create_directory_symlink(elsewhere, folder / "linked");
    for (const std::string path : {"../out", ".git/config", "a//b", "/abs", "linked/config.json"}) {
        EXPECT_EQ(repo->commit({{"ok/config.json", "x"}, {path, "evil"}}, "m", error), std::nullopt)
            << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    EXPECT_FALSE(fs::exists(folder / "ok/config.json"));
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(head().empty());
}

}  // namespace
}  // namespace kbcfg::history
