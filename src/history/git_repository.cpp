#include "history/git_repository.h"

#include <git2.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "store/printable.h"
#include "store/safe_file.h"
#include "store/trusted_path.h"

namespace kbcfg::history {

namespace fs = std::filesystem;

namespace {

// A configuration's text is well under this; a larger file in its place is not ours to judge.
constexpr std::size_t kMaxFileBytes = 64u << 20;

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;
using Commit = Owned<git_commit, git_commit_free>;
using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Index = Owned<git_index, git_index_free>;
using Signature = Owned<git_signature, git_signature_free>;
using TreeBuilder = Owned<git_treebuilder, git_treebuilder_free>;

std::string shown(const fs::path& path) {
    return store::printable(path.string());
}

std::string lastError() {
    const git_error* e = git_error_last();
    return e && e->message ? e->message : "unknown error";
}

// A path the repository may hold: relative, '/'-separated, no empty, "." or ".." part, and
// nothing in git's own folder. Anything else could reach outside the work tree.
bool validPath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        std::string lower = part;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (part.empty() || part == "." || part == ".." || lower == ".git") return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

// The parts of a path's folders: "a/b/c" -> "a", "a/b".
std::vector<std::string> foldersOf(const std::string& path) {
    std::vector<std::string> folders;
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        folders.push_back(path.substr(0, slash));
    return folders;
}

// Makes the missing folders of a repository path under the work tree (0755 less the umask);
// an existing part must be a real folder, never a link that leads elsewhere.
std::string makeFoldersOf(const fs::path& root, const std::string& path, bool create) {
    for (const std::string& folder : foldersOf(path)) {
        const fs::path full = root / folder;
        std::error_code ec;
        if (const auto info = platform::fileInfo(full, platform::Links::NoFollow, ec)) {
            if (info->kind == platform::FileKind::Link) return shown(full) + " is a symbolic link";
            if (info->kind != platform::FileKind::Folder) return shown(full) + " is not a folder";
            continue;
        }
        if (ec != std::errc::no_such_file_or_directory) return shown(full) + ": " + ec.message();
        if (!create) return {};
        if (!platform::makeFolder(full, platform::FolderAccess::Shared, ec))
            return "cannot create " + shown(full) + ": " + ec.message();
    }
    return {};
}

// What the work tree holds at a path: nullopt when nothing; `why` set when it is something this
// code does not replace or cannot read (a link, a folder, a device, a huge file).
std::optional<std::string> workFile(const fs::path& file, std::string& why) {
    why.clear();
    std::error_code ec;
    const auto info = platform::fileInfo(file, platform::Links::NoFollow, ec);
    if (!info) {
        if (ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
            why = shown(file) + ": " + ec.message();
        return std::nullopt;
    }
    if (info->kind != platform::FileKind::Regular) {
        why = shown(file) + " is not a regular file";
        return std::nullopt;
    }
    const auto bytes = store::readRegularFile(file, kMaxFileBytes);
    if (!bytes) {
        why = "cannot read " + shown(file);
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

std::string writeWorkFile(const fs::path& file, const std::string& text) {
    store::AtomicFile out(file, store::LinkPolicy::Replace);
    if (out.ok() && out.write(text.data(), text.size()) && out.commit()) return {};
    return "cannot write " + shown(file) + ": " + out.error();
}

// Folder checks before the repository is opened or made: see GitRepository::open.
std::string prepareFolder(const fs::path& folder) {
    std::error_code ec;
    if (!platform::fileInfo(folder, platform::Links::NoFollow, ec)) {
        if (ec != std::errc::no_such_file_or_directory) return shown(folder) + ": " + ec.message();
        std::vector<fs::path> missing{folder};
        fs::path existing = folder.parent_path();
        std::optional<platform::FileInfo> info;
        while (!(info = platform::fileInfo(existing, platform::Links::NoFollow, ec))) {
            if (ec != std::errc::no_such_file_or_directory || existing == existing.parent_path())
                return shown(existing) + ": " + ec.message();
            missing.push_back(existing);
            existing = existing.parent_path();
        }
        if (info->kind == platform::FileKind::Link) return shown(existing) + " is a symbolic link";
        if (info->kind != platform::FileKind::Folder) return shown(existing) + " is not a folder";
        for (auto it = missing.rbegin(); it != missing.rend(); ++it)
            if (!platform::makeFolder(*it, platform::FolderAccess::Shared, ec) &&
                ec != std::errc::file_exists)
                return "cannot create " + shown(*it) + ": " + ec.message();
    }
    // A link, another user's folder or one that others can write in or replace is refused.
    return store::notPrivate(folder);
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ea, eb;
    return fs::equivalent(a, b, ea) && !ea && !eb;
}

}  // namespace

GitRepository::Library::Library() {
    git_libgit2_init();
}
GitRepository::Library::~Library() {
    git_libgit2_shutdown();
}

GitRepository::GitRepository(fs::path folder) : folder_(std::move(folder)) {}

GitRepository::~GitRepository() {
    git_repository_free(repo_);
}

std::string GitRepository::failure(const std::string& doing) const {
    return doing + " " + shown(folder_) + ": " + lastError();
}

std::unique_ptr<GitRepository> GitRepository::open(const fs::path& folder, std::string& error) {
    error.clear();
    std::error_code ec;
    fs::path absolute = fs::absolute(folder, ec).lexically_normal();
    if (ec || folder.empty()) {
        error = "cannot use " + shown(folder) + ": not a folder name";
        return nullptr;
    }
    if (absolute.has_parent_path() && !absolute.has_filename()) absolute = absolute.parent_path();
    std::unique_ptr<GitRepository> self(new GitRepository(absolute));
    if (std::string why = prepareFolder(absolute); !why.empty()) {
        error = "cannot use " + shown(absolute) + " for the configurations: " + why;
        return nullptr;
    }
    int rc = git_repository_open_ext(&self->repo_, absolute.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH,
                                     nullptr);
    if (rc == GIT_ENOTFOUND) rc = git_repository_init(&self->repo_, absolute.c_str(), 0);
    if (rc < 0) {
        error = self->failure("cannot open the repository in");
        return nullptr;
    }
    // The folder must be the work tree: not a bare repository, nor one whose configuration
    // sends the work tree elsewhere.
    const char* workdir = git_repository_workdir(self->repo_);
    if (!workdir || !sameFolder(workdir, absolute)) {
        error = "cannot use " + shown(absolute) + ": it is not the work tree of its repository";
        return nullptr;
    }
    return self;
}

int GitRepository::headCommit(git_commit** out) {
    *out = nullptr;
    git_oid id;
    const int rc = git_reference_name_to_id(&id, repo_, "HEAD");
    if (rc == GIT_ENOTFOUND || rc == GIT_EUNBORNBRANCH) return 0;
    if (rc < 0) return rc;
    return git_commit_lookup(out, repo_, &id);
}

int GitRepository::headTree(git_tree** out) {
    *out = nullptr;
    git_commit* raw = nullptr;
    if (const int rc = headCommit(&raw); rc < 0 || !raw) return rc;
    const Commit head(raw);
    return git_commit_tree(out, head.get());
}

std::optional<std::string> GitRepository::committed(const std::string& path) {
    git_tree* rawTree = nullptr;
    if (!validPath(path) || headTree(&rawTree) < 0 || !rawTree) return std::nullopt;
    const Tree tree(rawTree);
    git_tree_entry* rawEntry = nullptr;
    if (git_tree_entry_bypath(&rawEntry, tree.get(), path.c_str()) < 0) return std::nullopt;
    const TreeEntry entry(rawEntry);
    if (git_tree_entry_type(entry.get()) != GIT_OBJECT_BLOB) return std::nullopt;
    git_blob* rawBlob = nullptr;
    if (git_blob_lookup(&rawBlob, repo_, git_tree_entry_id(entry.get())) < 0) return std::nullopt;
    const Blob blob(rawBlob);
    return std::string(static_cast<const char*>(git_blob_rawcontent(blob.get())),
                       static_cast<std::size_t>(git_blob_rawsize(blob.get())));
}

std::vector<std::string> GitRepository::uncommitted(const std::vector<std::string>& paths) {
    git_tree* rawTree = nullptr;
    git_index* rawIndex = nullptr;
    const bool readable = headTree(&rawTree) >= 0 && git_repository_index(&rawIndex, repo_) >= 0;
    const Tree tree(rawTree);
    const Index index(rawIndex);
    // The index as the user's git left it, not as it was when this object first read it.
    const bool indexRead = readable && git_index_read(index.get(), 1) >= 0;

    std::vector<std::string> listed;
    for (const std::string& path : paths) {
        if (!indexRead || !validPath(path)) {
            listed.push_back(path);
            continue;
        }
        // What the last commit holds (a blob, or nothing).
        std::optional<git_oid> head;
        bool headOther = false;
        git_tree_entry* rawEntry = nullptr;
        if (tree && git_tree_entry_bypath(&rawEntry, tree.get(), path.c_str()) == 0) {
            const TreeEntry entry(rawEntry);
            if (git_tree_entry_type(entry.get()) == GIT_OBJECT_BLOB)
                head = *git_tree_entry_id(entry.get());
            else
                headOther = true;
        }
        // What is staged: a conflict, another blob, an added or a deleted file.
        const git_index_entry* staged = git_index_get_bypath(index.get(), path.c_str(), 0);
        const git_index_entry *ancestor = nullptr, *ours = nullptr, *theirs = nullptr;
        const bool conflict =
            git_index_conflict_get(&ancestor, &ours, &theirs, index.get(), path.c_str()) == 0;
        bool differs = headOther || conflict || (staged != nullptr) != head.has_value() ||
                       (staged && !git_oid_equal(&staged->id, &*head));
        // What the folder holds, byte for byte (ignored or not: the file is ours to manage).
        if (!differs) {
            std::string why;
            const std::optional<std::string> text = workFile(folder_ / path, why);
            if (!why.empty() || text.has_value() != head.has_value()) {
                differs = true;
            } else if (text) {
                git_oid id;
                differs = git_odb_hash(&id, text->data(), text->size(), GIT_OBJECT_BLOB) < 0 ||
                          !git_oid_equal(&id, &*head);
            }
        }
        if (differs) listed.push_back(path);
    }
    return listed;
}

namespace {

// What the folder held at each path (nothing, or a file's text) before commit() wrote there.
using Saved = std::vector<std::pair<fs::path, std::optional<std::string>>>;

}  // namespace

// One commit() on its way, from step to step: what HEAD holds, the blobs and the tree made
// from the files, and what the folder held at each path before it was written.
struct GitRepository::Pending {
    const std::map<std::string, std::string>& files;
    Commit head;
    Tree baseline;
    std::vector<git_oid> blobs;
    git_oid treeId{};
    Saved before;
    std::size_t written = 0;  // files of `before` written so far
};

namespace {

// Paths the repository may hold, and no file where another one needs a folder.
bool checkRequest(const std::map<std::string, std::string>& files, const fs::path& root,
                  std::string& error) {
    for (const auto& [path, text] : files) {
        if (!validPath(path)) {
            error = "cannot commit " + store::printable(path) + " in " + shown(root) +
                    ": not a path inside the folder";
            return false;
        }
        for (const std::string& folder : foldersOf(path))
            if (files.count(folder)) {
                error = "cannot commit both " + store::printable(folder) + " and " +
                        store::printable(path);
                return false;
            }
    }
    return true;
}

// Puts back, as they were, the first `written` files.
void putBack(const Saved& before, std::size_t written) {
    std::error_code ignored;
    for (std::size_t k = 0; k < written; ++k) {
        const auto& [file, text] = before[k];
        if (text)
            writeWorkFile(file, *text);
        else
            platform::removeFile(file, ignored);
    }
}

// The index entry of a file just written: its blob, and the file's stat data so that git
// need not hash it again to see it clean.
git_index_entry indexEntry(const fs::path& file, const std::string& path, const git_oid& blob) {
    git_index_entry entry{};
    std::error_code ec;
    if (const auto info = platform::fileInfo(file, platform::Links::NoFollow, ec)) {
        constexpr std::int64_t kNs = 1'000'000'000;
        entry.ctime.seconds = static_cast<int32_t>(info->changedNs / kNs);
        entry.ctime.nanoseconds = static_cast<uint32_t>(info->changedNs % kNs);
        entry.mtime.seconds = static_cast<int32_t>(info->modifiedNs / kNs);
        entry.mtime.nanoseconds = static_cast<uint32_t>(info->modifiedNs % kNs);
        entry.dev = static_cast<uint32_t>(info->device);
        entry.ino = static_cast<uint32_t>(info->inode);
        entry.uid = info->protection.owner;
        entry.gid = info->protection.group;
        entry.file_size = static_cast<uint32_t>(info->size);
    }
    entry.mode = GIT_FILEMODE_BLOB;
    entry.id = blob;
    entry.path = path.c_str();
    return entry;
}

}  // namespace

std::optional<std::string> GitRepository::commit(const std::map<std::string, std::string>& files,
                                                 const std::string& message, std::string& error) {
    error.clear();
    if (!checkRequest(files, folder_, error)) return std::nullopt;
    if (files.empty()) return std::string();

    Pending change{files, {}, {}, {}, {}, {}, 0};
    if (!readBaseline(change, error) || !buildTree(change, error) || !writeWorkTree(change, error))
        return std::nullopt;
    std::string id;
    // A commit only when the tree changed: files already holding these texts make none.
    if (!git_oid_equal(&change.treeId, git_tree_id(change.baseline.get())) &&
        !createCommit(change, message, id, error))
        return std::nullopt;
    if (!updateIndex(change)) {
        error = failure(id.empty() ? "cannot update the index in"
                                   : "committed " + id + " but cannot update the index in");
        return std::nullopt;
    }
    return id;
}

// HEAD's commit and tree, or no commit and the empty tree when HEAD is unborn.
bool GitRepository::readBaseline(Pending& change, std::string& error) {
    git_commit* rawHead = nullptr;
    if (headCommit(&rawHead) < 0) {
        error = failure("cannot read the last commit in");
        return false;
    }
    change.head.reset(rawHead);
    git_tree* rawTree = nullptr;
    if (change.head && git_commit_tree(&rawTree, change.head.get()) < 0) {
        error = failure("cannot read the last commit in");
        return false;
    }
    change.baseline.reset(rawTree);
    if (change.baseline) return true;
    // No commit yet: the changes go onto the empty tree.
    git_treebuilder* rawBuilder = nullptr;
    git_oid empty;
    if (git_treebuilder_new(&rawBuilder, repo_, nullptr) < 0) {
        error = failure("cannot commit in");
        return false;
    }
    const TreeBuilder builder(rawBuilder);
    if (git_treebuilder_write(&empty, builder.get()) < 0 ||
        git_tree_lookup(&rawTree, repo_, &empty) < 0) {
        error = failure("cannot commit in");
        return false;
    }
    change.baseline.reset(rawTree);
    return true;
}

// The blobs and the new tree: HEAD's tree with these files in place.
bool GitRepository::buildTree(Pending& change, std::string& error) {
    change.blobs.resize(change.files.size());
    std::vector<git_tree_update> updates(change.files.size());
    std::size_t i = 0;
    for (const auto& [path, text] : change.files) {
        // A tree cannot become a blob here, nor a blob a tree: the last commit must hold
        // folders where this path has them, and no folder where it has the file.
        for (const std::string& folder : foldersOf(path)) {
            git_tree_entry* raw = nullptr;
            if (git_tree_entry_bypath(&raw, change.baseline.get(), folder.c_str()) < 0) break;
            const TreeEntry entry(raw);
            if (git_tree_entry_type(entry.get()) != GIT_OBJECT_TREE) {
                error = "cannot commit " + store::printable(path) + " in " + shown(folder_) +
                        ": the last commit holds a file " + store::printable(folder);
                return false;
            }
        }
        git_tree_entry* raw = nullptr;
        if (git_tree_entry_bypath(&raw, change.baseline.get(), path.c_str()) == 0) {
            const TreeEntry entry(raw);
            if (git_tree_entry_type(entry.get()) != GIT_OBJECT_BLOB) {
                error = "cannot commit " + store::printable(path) + " in " + shown(folder_) +
                        ": the last commit holds a folder there";
                return false;
            }
        }
        git_oid& blob = change.blobs[i];
        if (git_blob_create_from_buffer(&blob, repo_, text.data(), text.size()) < 0) {
            error = failure("cannot commit in");
            return false;
        }
        updates[i++] =
            git_tree_update{GIT_TREE_UPDATE_UPSERT, blob, GIT_FILEMODE_BLOB, path.c_str()};
    }
    if (git_tree_create_updated(&change.treeId, repo_, change.baseline.get(), updates.size(),
                                updates.data()) < 0) {
        error = failure("cannot commit in");
        return false;
    }
    return true;
}

// The work tree, checked whole before anything is written; what each file held before is
// kept to put back if a later step fails.
bool GitRepository::writeWorkTree(Pending& change, std::string& error) {
    for (const auto& [path, text] : change.files) {
        if (std::string why = makeFoldersOf(folder_, path, false); !why.empty()) {
            error = "cannot write " + store::printable(path) + " in " + shown(folder_) + ": " + why;
            return false;
        }
        std::string why;
        change.before.emplace_back(folder_ / path, workFile(folder_ / path, why));
        if (!why.empty()) {
            error = "cannot write " + store::printable(path) + ": " + why;
            return false;
        }
    }
    for (const auto& [path, text] : change.files) {
        const auto& [file, old] = change.before[change.written];
        std::string why = makeFoldersOf(folder_, path, true);
        if (why.empty() && old != text) why = writeWorkFile(file, text);
        if (!why.empty()) {
            putBack(change.before, change.written);
            error = why;
            return false;
        }
        ++change.written;
    }
    return true;
}

// The commit of the new tree onto HEAD, by the user's git identity; the files written are put
// back when it fails.
bool GitRepository::createCommit(Pending& change, const std::string& message, std::string& id,
                                 std::string& error) {
    git_signature* rawSignature = nullptr;
    int rc = git_signature_default(&rawSignature, repo_);
    if (rc == GIT_ENOTFOUND) rc = git_signature_now(&rawSignature, "kbcfg", "kbcfg@localhost");
    const Signature signature(rawSignature);
    git_tree* rawNew = nullptr;
    git_oid commitId;
    if (rc < 0 || git_tree_lookup(&rawNew, repo_, &change.treeId) < 0) {
        putBack(change.before, change.written);
        error = failure("cannot commit in");
        return false;
    }
    const Tree newTree(rawNew);
    const git_commit* parents[] = {change.head.get()};
    const std::string text = message.empty() || message.back() == '\n' ? message : message + "\n";
    // Moving "HEAD" fails when the branch has moved since it was read (another git at work),
    // so a commit of someone else's is never dropped.
    if (git_commit_create(&commitId, repo_, "HEAD", signature.get(), signature.get(), nullptr,
                          text.c_str(), newTree.get(), change.head ? 1 : 0, parents) < 0) {
        putBack(change.before, change.written);
        error = failure("cannot commit in");
        return false;
    }
    id = git_oid_tostr_s(&commitId);
    return true;
}

// The index entries of these files now match the commit and the folder, so git shows them
// clean; every other entry, staged by the user, stays as it is.
bool GitRepository::updateIndex(const Pending& change) {
    git_index* rawIndex = nullptr;
    if (git_repository_index(&rawIndex, repo_) < 0) return false;
    const Index index(rawIndex);
    if (git_index_read(index.get(), 1) < 0) return false;
    std::size_t i = 0;
    for (const auto& [path, text] : change.files) {
        const git_index_entry entry = indexEntry(folder_ / path, path, change.blobs[i++]);
        git_index_conflict_remove(index.get(), path.c_str());
        if (git_index_add(index.get(), &entry) < 0) return false;
    }
    return git_index_write(index.get()) >= 0;
}

}  // namespace kbcfg::history
