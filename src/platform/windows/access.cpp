#include "platform/access.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/windows/win32.h"

namespace kbcfg::platform {

namespace fs = std::filesystem;
using win::LocalMemory;

namespace {

constexpr char kSystem[] = "S-1-5-18";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kTrustedInstaller[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr char kEveryone[] = "S-1-1-0";
constexpr char kCreatorOwner[] = "S-1-3-0";
constexpr char kOwnerRights[] = "S-1-3-4";  // the owner, whoever it is
// Groups every interactive user belongs to, for judging a user other than this one.
constexpr const char* kEveryUsersGroups[] = {kEveryone, "S-1-5-11", "S-1-5-32-545", "S-1-5-4"};

// What lets someone change a file or a folder (add, remove or rename its entries), or give
// themselves the right to.
constexpr DWORD kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// What lets someone take the name of another's entry in a folder. Adding entries alone is what a
// sticky folder allows on POSIX systems (C:\ lets every user make folders in it).
constexpr DWORD kReplaceRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr DWORD kAccessRights = kWriteRights | FILE_READ_DATA | FILE_EXECUTE;

DWORD mapped(DWORD mask) {
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                            FILE_ALL_ACCESS};
    ::MapGenericMask(&mask, &mapping);
    return mask;
}

// Owner and DACL of a file by its path (links followed) or from a descriptor kept before.
struct Security {
    LocalMemory allocated;
    std::vector<std::uint8_t> kept;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    bool daclPresent = false;
    bool ok = false;
    DWORD error = ERROR_SUCCESS;

    explicit Security(const fs::path& path) {
        const std::wstring name = win::nativePath(path);
        error = ::GetNamedSecurityInfoW(
            name.c_str(), SE_FILE_OBJECT,
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            nullptr, nullptr, nullptr, nullptr, &descriptor);
        ok = error == ERROR_SUCCESS;
        allocated.memory = descriptor;
        read();
    }
    explicit Security(const std::vector<std::uint8_t>& bytes) : kept(bytes) {
        descriptor = kept.empty() ? nullptr : kept.data();
        ok = descriptor && ::IsValidSecurityDescriptor(descriptor);
        read();
    }

  private:
    void read() {
        if (!ok) return;
        BOOL defaulted = FALSE;
        BOOL present = FALSE;
        ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
        ok = ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) != 0;
        daclPresent = present != 0;
    }
};

struct Ace {
    bool allow = false;
    DWORD mask = 0;
    std::string sid;
};

// The ACEs that apply to the object itself (those only passed on to its contents left out).
std::vector<Ace> acesOf(PACL dacl) {
    std::vector<Ace> aces;
    if (!dacl) return aces;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!::GetAce(dacl, i, &raw)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
            aces.push_back({true, mapped(ace->Mask), win::sidText(&ace->SidStart)});
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* ace = static_cast<ACCESS_DENIED_ACE*>(raw);
            aces.push_back({false, mapped(ace->Mask), win::sidText(&ace->SidStart)});
        } else if (header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            // A conditional grant may hold: counted as a grant.
            auto* ace = static_cast<ACCESS_ALLOWED_CALLBACK_ACE*>(raw);
            aces.push_back({true, mapped(ace->Mask), win::sidText(&ace->SidStart)});
        }
    }
    return aces;
}

// Whether `sid` is someone a file may be open to without being open to others.
bool trustedFor(const std::string& sid, const std::string& owner) {
    return sid == owner || sid == currentUser().id || sid == kSystem || sid == kAdministrators ||
           sid == kOwnerRights || sid == kCreatorOwner;
}

// The SIDs not trusted to which the DACL grants any of `rights` (a NULL DACL grants everything
// to everybody). A grant counts unless a denial before it, for that SID or for everyone, takes
// the same rights away.
std::vector<std::string> othersGranted(const Security& security, DWORD rights) {
    if (!security.daclPresent || !security.dacl) return {kEveryone};
    const std::string owner = security.owner ? win::sidText(security.owner) : std::string();
    std::vector<std::string> granted;
    std::map<std::string, DWORD> denied;
    for (const Ace& ace : acesOf(security.dacl)) {
        if (!ace.allow) {
            denied[ace.sid] |= ace.mask;
            continue;
        }
        const DWORD left = ace.mask & ~denied[ace.sid] & ~denied[kEveryone];
        if ((left & rights) && !trustedFor(ace.sid, owner) &&
            std::find(granted.begin(), granted.end(), ace.sid) == granted.end())
            granted.push_back(ace.sid);
    }
    return granted;
}

bool grantsOthers(const Security& security, DWORD rights) {
    return !othersGranted(security, rights).empty();
}

// Whether this program runs under Wine, which makes a file's owner and DACL up from its Unix
// owner and mode: every file shows as this user's, and the sticky bit is left out.
bool underWine() {
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

std::vector<std::uint8_t> selfRelative(PSECURITY_DESCRIPTOR descriptor) {
    const DWORD length = ::GetSecurityDescriptorLength(descriptor);
    const auto* bytes = static_cast<const std::uint8_t*>(descriptor);
    return {bytes, bytes + length};
}

// Turns a privilege of this process on for the time of one call and back off after: with
// backup semantics it would otherwise let every later open pass over the permissions.
class Privilege {
  public:
    explicit Privilege(const wchar_t* name) {
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                &token_))
            return;
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!::LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) return;
        DWORD size = sizeof previous_;
        if (::AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous_, &previous_, &size) &&
            ::GetLastError() == ERROR_SUCCESS)
            changed_ = previous_.PrivilegeCount > 0;
    }
    ~Privilege() {
        if (changed_) ::AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
        if (token_) ::CloseHandle(token_);
    }
    Privilege(const Privilege&) = delete;
    Privilege& operator=(const Privilege&) = delete;

  private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    bool changed_ = false;
};

// A second handle to an open file with the rights to change its protection; invalid when this
// user has them not.
File withRights(File& file, DWORD rights) {
    const HANDLE handle = ::ReOpenFile(win::handleOf(file), rights | READ_CONTROL,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    return handle == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<File::Native>(handle));
}

bool notPermitted(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_OWNER ||
           error == ERROR_PRIVILEGE_NOT_HELD;
}

// Sets the owner of an open file as the descriptor names it.
bool setOwner(File& file, const std::vector<std::uint8_t>& descriptor, DWORD& error) {
    const Security wanted(descriptor);
    if (!wanted.ok || !wanted.owner) return true;
    const auto current = win::descriptorOf(win::handleOf(file));
    const Security now(current);
    if (now.ok && now.owner && ::EqualSid(now.owner, wanted.owner)) return true;
    File changer = withRights(file, WRITE_OWNER);
    const HANDLE handle = changer.valid() ? win::handleOf(changer) : win::handleOf(file);
    // Another user may be made the owner only with the right to restore files (administrators).
    const Privilege restore(L"SeRestorePrivilege");
    if (::SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION,
                                  const_cast<std::uint8_t*>(descriptor.data())))
        return true;
    error = ::GetLastError();
    return false;
}

// Gives a file the permissions a new file gets in its folder: the DACL passed on from above.
bool inheritFromFolder(File& file, std::string& why) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(win::handleOf(file), path.data(),
                                        static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            why = "GetFinalPathNameByHandle: " + lastError().message();
            return false;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    ACL empty{};
    if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) {
        why = "InitializeAcl: " + lastError().message();
        return false;
    }
    const DWORD error =
        ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &empty, nullptr);
    if (error != ERROR_SUCCESS) {
        why = "SetNamedSecurityInfo: " + win::errorFrom(error).message();
        return false;
    }
    // A folder that passes nothing on would leave the file open to nobody, this user included
    // (it could not even be renamed into place): it stays private then.
    const Security now(win::descriptorOf(win::handleOf(file)));
    if (now.ok && now.daclPresent && now.dacl && now.dacl->AceCount == 0) {
        const auto own = win::privateDescriptor(false, {});
        File changer = withRights(file, WRITE_DAC);
        const HANDLE handle = changer.valid() ? win::handleOf(changer) : win::handleOf(file);
        if (own.empty() || !::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION,
                                                      const_cast<std::uint8_t*>(own.data()))) {
            why = "set DACL: " + lastError().message();
            return false;
        }
    }
    return true;
}

}  // namespace

UserId currentUser() {
    static const UserId user = [] {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return UserId{};
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<std::uint8_t> buffer(size);
        UserId id;
        if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
            id.id = win::sidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
        ::CloseHandle(token);
        return id;
    }();
    return user;
}

bool isSuperuser() {
    // An elevated administrator does not pass over a DACL as root passes over mode bits: it is
    // denied what the DACL denies it until it takes ownership or uses backup privileges, which
    // this tool never does. So nobody is a superuser here, and every check reads the DACL.
    return false;
}

bool isSystemUser(const UserId& user) {
    return user.id == kSystem || user.id == kAdministrators || user.id == kTrustedInstaller;
}

std::string userName(const UserId& user) {
    PSID sid = nullptr;
    if (user.empty() || !::ConvertStringSidToSidW(win::fromUtf8(user.id).c_str(), &sid))
        return "#" + user.id;
    LocalMemory freed;
    freed.memory = sid;
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return "#" + user.id;
    const std::string account = win::toUtf8(name);
    return domainSize == 0 ? account : win::toUtf8(domain) + "\\" + account;
}

bool userMayWrite(const UserId& user, const fs::path& path) {
    const Security security(path);
    if (!security.ok) return false;
    const DWORD attributes = ::GetFileAttributesW(win::nativePath(path).c_str());
    // The read-only attribute keeps everybody from writing a file (not a folder).
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    if (!security.daclPresent || !security.dacl) return true;

    if (user == currentUser()) {
        // This user's groups are in its token: the system judges the DACL.
        HANDLE process = nullptr;
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process))
            return false;
        const bool duplicated = ::DuplicateToken(process, SecurityIdentification, &token);
        ::CloseHandle(process);
        if (!duplicated) return false;
        GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                FILE_ALL_ACCESS};
        PRIVILEGE_SET privileges{};
        DWORD privilegesSize = sizeof privileges;
        DWORD granted = 0;
        BOOL status = FALSE;
        const bool checked = ::AccessCheck(security.descriptor, token, FILE_WRITE_DATA, &mapping,
                                           &privileges, &privilegesSize, &granted, &status);
        ::CloseHandle(token);
        return checked && status;
    }

    // Another user's groups cannot be asked for: its own SID and the groups every user is in.
    std::vector<std::string> sids(std::begin(kEveryUsersGroups), std::end(kEveryUsersGroups));
    sids.push_back(user.id);
    for (const Ace& ace : acesOf(security.dacl)) {
        if (!(ace.mask & FILE_WRITE_DATA)) continue;
        if (std::find(sids.begin(), sids.end(), ace.sid) == sids.end()) continue;
        return ace.allow;
    }
    return false;
}

bool mayWriteInPlace(const fs::path& path) {
    const std::wstring name = win::nativePath(path);
    // A read-only file was protected on purpose, whoever may change its attributes.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    // Whatever else keeps this process from writing (the DACL, a read-only volume) refuses the
    // open.
    const HANDLE handle = ::CreateFileW(name.c_str(), FILE_WRITE_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(handle);
    return true;
}

bool othersMayAccess(const fs::path& path) {
    std::error_code ec;
    const std::optional<FileInfo> info = fileInfo(path, Links::Follow, ec);
    return !info || othersMayAccess(*info);
}

bool othersMayAccess(const FileInfo& info) {
    if (info.owner != currentUser()) return true;
    const Security security(info.protection.descriptor);
    return !security.ok || grantsOthers(security, kAccessRights);
}

bool othersMayWrite(const FileInfo& info) {
    const Security security(info.protection.descriptor);
    return !security.ok || grantsOthers(security, kWriteRights);
}

void shareWithWritersOf(File&, const Protection&) {}

Strangers othersCouldWrite(const fs::path& path, bool stickyAllowed) {
    using Kind = Strangers::Kind;
    const Security security(path);
    if (!security.ok) return {Kind::Unknown, {}, win::errorFrom(security.error)};
    const UserId owner{security.owner ? win::sidText(security.owner) : std::string()};
    if (owner != currentUser() && !isSystemUser(owner)) return {Kind::Owner, owner, {}};
    const DWORD attributes = ::GetFileAttributesW(win::nativePath(path).c_str());
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    DWORD rights = stickyAllowed && folder ? kReplaceRights : kWriteRights;
    // Wine shows /tmp (mode 1777) as a folder everyone may empty: a folder where a sticky one is
    // accepted is judged by the rights that no Unix mode gives others, those over its DACL and
    // owner. The file and its own folder are judged in full.
    if (stickyAllowed && folder && underWine()) rights = WRITE_DAC | WRITE_OWNER;
    if (grantsOthers(security, rights)) return {Kind::Others, {}, {}};
    return {};
}

Protection protectionForNew(NewFile kind) {
    Protection protection;
    protection.known = true;
    // An empty descriptor stands for what the folder passes on.
    if (kind == NewFile::Private) protection.descriptor = win::privateDescriptor(false, {});
    return protection;
}

Protection protectionLike(const Protection& source) {
    // A copy with the source's own DACL is exactly as open as the source.
    if (!source.known) return protectionForNew(NewFile::Private);
    return source;
}

bool applyProtection(File& file, const Protection& protection, bool withOwner, std::string& why) {
    if (!protection.known) return true;
    if (protection.descriptor.empty()) return inheritFromFolder(file, why);
    const Security wanted(protection.descriptor);
    if (!wanted.ok) {
        why = "security descriptor: not valid";
        return false;
    }
    DWORD ownerError = ERROR_SUCCESS;
    if (withOwner && !setOwner(file, protection.descriptor, ownerError) &&
        !notPermitted(ownerError)) {
        why = "set owner: " + win::errorFrom(ownerError).message();
        return false;
    }
    // The DACL is set as it was kept, inherited entries and protection flag included: the file
    // takes the place of one in the same folder. SetSecurityInfo would work the inheritance out
    // again from the folder instead.
    File changer = withRights(file, WRITE_DAC);
    const HANDLE handle = changer.valid() ? win::handleOf(changer) : win::handleOf(file);
    if (::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION,
                                  const_cast<std::uint8_t*>(protection.descriptor.data())))
        return true;
    why = "set DACL: " + lastError().message();
    return false;
}

bool giveFileTo(File& file, const Protection& owner, std::error_code& ec) {
    DWORD error = ERROR_SUCCESS;
    if (setOwner(file, owner.descriptor, error)) {
        ec.clear();
        return true;
    }
    ec = win::errorFrom(error);
    return false;
}

namespace win {

std::string sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text)) return {};
    LocalMemory freed;
    freed.memory = text;
    return toUtf8(text);
}

std::vector<std::uint8_t> privateDescriptor(bool folder, const std::vector<std::string>& readers) {
    const std::string user = currentUser().id;
    const std::wstring self = fromUtf8(user.empty() ? std::string("OW") : user);
    // Full control for this user, SYSTEM and the administrators (as root on POSIX); the DACL
    // is protected, so nothing from the folder above is added to it.
    const std::wstring inherit = folder ? L"OICI" : L"";
    std::wstring sddl = L"D:P";
    for (const std::wstring& who : {self, std::wstring(L"SY"), std::wstring(L"BA")})
        sddl += L"(A;" + inherit + L";FA;;;" + who + L")";
    for (const std::string& reader : readers)
        sddl += L"(A;;0x1200a9;;;" + fromUtf8(reader) + L")";  // list and traverse
    if (!user.empty()) sddl = L"O:" + self + sddl;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return {};
    LocalMemory freed;
    freed.memory = descriptor;
    return selfRelative(descriptor);
}

std::vector<std::string> otherReaders(const std::vector<std::uint8_t>& descriptor) {
    const Security security(descriptor);
    return security.ok ? othersGranted(security, FILE_READ_DATA) : std::vector<std::string>{};
}

std::vector<std::uint8_t> descriptorOf(HANDLE handle) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    LocalMemory freed;
    freed.memory = descriptor;
    return selfRelative(descriptor);
}

}  // namespace win

}  // namespace kbcfg::platform
