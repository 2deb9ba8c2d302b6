#pragma once
// The fleet's configuration repository on git (libgit2): the folder is the work tree of a
// non-bare repository, its files are the keyboards' text forms, each backup run one commit on
// the branch HEAD points to. Only the named files are ever written, committed or staged; any
// other change a user has in the folder or in the index stays exactly as it was.
//
// Not thread-safe: one object is used from one thread at a time (the fleet calls it from the
// main thread once its workers have ended).

#include <filesystem>
#include <memory>
#include <string>

#include "remote/config_repository.h"

struct git_repository;
struct git_commit;
struct git_tree;

namespace kbcfg::history {

class GitRepository : public remote::ConfigRepository {
  public:
    // Opens the repository whose work tree is `folder` itself (parent folders are not searched),
    // or makes one there when the folder is missing, empty or no repository. The folder must be
    // a real folder of this user that nobody else can write or replace (a repository another
    // user could redirect would receive the fleet's configurations); missing folders are made
    // as `git init` would (0755 less the umask), but never through a symbolic link. nullptr with
    // `error` set otherwise.
    static std::unique_ptr<GitRepository> open(const std::filesystem::path& folder,
                                               std::string& error);
    ~GitRepository() override;
    GitRepository(const GitRepository&) = delete;
    GitRepository& operator=(const GitRepository&) = delete;

    // An error reading the repository reads as "no such file".
    std::optional<std::string> committed(const std::string& path) override;
    // A path that cannot be checked (an error, a file too large, a path outside the folder) is
    // listed: it is not to be overwritten.
    std::vector<std::string> uncommitted(const std::vector<std::string>& paths) override;
    // The author and committer are the user's git identity (user.name and user.email from the
    // repository's, the user's or the system's git configuration), else "kbcfg
    // <kbcfg@localhost>". When the commit fails, the files written are put back as they were.
    std::optional<std::string> commit(const std::map<std::string, std::string>& files,
                                      const std::string& message, std::string& error) override;

    const std::filesystem::path& folder() const { return folder_; }

  private:
    // Holds libgit2 initialised for as long as the object lives: its initialisation is counted,
    // so the library shuts down only when the last repository is gone.
    struct Library {
        Library();
        ~Library();
        Library(const Library&) = delete;
        Library& operator=(const Library&) = delete;
    };

    explicit GitRepository(std::filesystem::path folder);
    // HEAD's commit, nullptr (and 0) when HEAD is unborn; < 0 on error.
    int headCommit(git_commit** out);
    int headTree(git_tree** out);
    std::string failure(const std::string& doing) const;

    // The steps of commit(), in order; each sets `error` and returns false when it fails.
    struct Pending;
    bool readBaseline(Pending& change, std::string& error);
    bool buildTree(Pending& change, std::string& error);
    bool writeWorkTree(Pending& change, std::string& error);
    bool createCommit(Pending& change, const std::string& message, std::string& id,
                      std::string& error);
    // Leaves `error` to the caller, whose text depends on whether a commit was made.
    bool updateIndex(const Pending& change);

    Library library_;  // first: outlives the repository handle
    std::filesystem::path folder_;
    git_repository* repo_ = nullptr;
};

}  // namespace kbcfg::history
