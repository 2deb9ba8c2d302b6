// The completion scripts, driven in bash, zsh and fish over one table of partly typed lines.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/paths.h"
#include "support/cli_runner.h"

namespace kbcfg::testing {
namespace {

using Words = std::set<std::string>;

// How each shell completes $LINE with the script $S loaded, in the folder $W, one candidate a
// line. bash: COMP_WORDS split as bash does ("--file=x" is --file, = and x). zsh completes only
// in its line editor: a second zsh on a pseudo-terminal gets the line and a TAB, with compadd
// wrapped to write what it is given to $OUT.
const std::map<std::string, std::string> kDrivers = {
    {"bash", R"SH(bash --norc --noprofile -c 'source "$S"; l=${LINE//=/ = }
read -ra COMP_WORDS <<< "$l"; [[ $LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kbcfg; printf "%s\n" "${COMPREPLY[@]}"')SH"},
    {"fish", R"SH(fish --no-config -c 'source $S; complete -C $LINE' | cut -f1)SH"},
    {"zsh", R"SH(zsh -f -c 'zmodload zsh/zpty; zpty z zsh -f -i
zpty -w z "PS1=; fpath=(\${(M)fpath:#*/Completion(|/Base|/Zsh|/Unix)}); autoload -U compinit
compinit -C -u -d $OUT.dump; source \$S; comppostfuncs=(exit)"
zpty -w z "compadd() { if [[ \${@[1,(i)(-|--)]} != *-(O|A|D)\ * ]]; then local -a h
builtin compadd -A h \"\$@\"; print -rl -- \$h >> \$OUT; fi; builtin compadd \"\$@\"; }"
zpty -w -n z "$LINE$(printf "\t")"; while zpty -r z x; do :; done; cat $OUT 2>/dev/null')SH"},
};

// The candidates one shell offers, unquoted ("my\ site.bin"), without an "--file=" before them.
Words offers(const std::string& shell, const TempDir& dir, const std::string& line) {
    setEnv("S", platform::utf8(dir / ("kbcfg." + shell)));
    setEnv("W", platform::utf8(dir / "work"));
    setEnv("OUT", platform::utf8(dir / "out"));
    setEnv("LINE", line);
    std::error_code ignored;
    fs::remove(dir / "out", ignored);
    const std::string command = "cd \"$W\" && timeout 10 " + kDrivers.at(shell) +
                                R"( | sed -e 's/^--[a-z-]*=//' -e 's/\\//g')";
    Words got;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (fgets(buffer, sizeof buffer, pipe))
            if (std::string word(buffer, strcspn(buffer, "\n")); !word.empty()) got.insert(word);
        pclose(pipe);
    }
    return got;
}

bool installed(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null").c_str()) == 0;
}

TEST(CliCompletion, EveryShellCompletesTheCommandTreeFlagsAndFileNames) {
    TempDir dir;
    fs::create_directory(dir / "work");
    std::ofstream(dir / "work" / "my site.bin") << "x";
    for (const char* shell : {"bash", "zsh", "fish"})
        ASSERT_EQ(kbcfg({"completion", shell}, dir / (std::string("kbcfg.") + shell)).status, 0);
    // zsh completes natively, with the help texts.
    EXPECT_THAT(readText(dir / "kbcfg.zsh"), ::testing::HasSubstr("'device:The device table"));
    if (installed("shellcheck")) {
        EXPECT_EQ(std::system(("shellcheck -s bash " + (dir / "kbcfg.bash").string()).c_str()), 0);
    }

    const std::pair<const char*, Words> cases[] = {
        {"kbcfg dev", {"device"}},
        {"kbcfg device a", {"add", "add-range"}},
        {"kbcfg completion ", {"bash", "zsh", "fish"}},
        {"kbcfg channel list --kind ", {"input", "output", "wall"}},
        // After a flag the next word is no value of it.
        {"kbcfg --no-backup dev", {"device"}},
        {"kbcfg --json dev", {"device"}},
        {"kbcfg check --json my", {"my site.bin"}},
        {"kbcfg device list --json --n", {"--no-backup"}},
        // An option's value is no command: "user" here is the operator.
        {"kbcfg -f kb.bin -u user device add --n", {"--no-backup"}},
        {"kbcfg device add -p ", {}},
        // File names, one candidate each whatever they hold.
        {"kbcfg check my", {"my site.bin"}},
        {"kbcfg --file=my", {"my site.bin"}},
        {"kbcfg --file=", {"my site.bin"}},
        {"kbcfg fleet export --inventory my", {"my site.bin"}},
        {"kbcfg fleet import --password-file ", {"my site.bin"}},
    };
    for (const std::string shell : {"bash", "zsh", "fish"}) {
        if (!installed(shell)) {
            std::printf("[  SKIPPED ] the %s rows: %s is not installed\n", shell.c_str(),
                        shell.c_str());
            continue;
        }
        for (const auto& [line, offered] : cases)
            EXPECT_EQ(offers(shell, dir, line), offered) << shell << ": " << line;
    }
}

}  // namespace
}  // namespace kbcfg::testing
