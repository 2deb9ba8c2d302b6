#include "cli/completion_command.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <iostream>
#include <sstream>
#include <vector>

namespace kbcfg::cli {
namespace {

// What may follow an option, or stand in a positional place.
struct Value {
    enum Kind { kNone, kText, kFile, kFolder, kChoice } kind = kNone;
    std::vector<std::string> choices;
};

// One command of the tree: "kbcfg device add" and what it takes.
struct Node {
    std::string path;
    std::vector<std::pair<std::string, std::string>> subcommands;  // name, description
    struct Opt {
        std::vector<std::string> names;  // "-f", "--file"
        std::string shortName, longName, help;
        Value value;
        bool repeatable = false;
    };
    std::vector<Opt> options;
    Value positional;
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Options naming a path: the tree's text options carry no type of their own for them (unless
// declared with type_name("FILE") or "FOLDER"), but their names and help say so: "--file",
// "--password-file", "--inventory", "JSON file to write", "Folder for the files".
Value::Kind pathKind(const CLI::Option& opt) {
    std::istringstream help(lower(opt.get_description()));
    std::string word;
    help >> word;
    if (word == "folder") return Value::kFolder;
    for (int i = 0; i < 3 && !word.empty(); ++i, word.clear(), help >> word)
        if (word == "file") return Value::kFile;
    for (const std::string& name : opt.get_lnames()) {
        const bool fileish = name == "file" || name == "output" || name == "base" ||
                             name == "inventory" ||
                             (name.size() > 5 && name.compare(name.size() - 5, 5, "-file") == 0);
        if (fileish) return Value::kFile;
    }
    return Value::kText;
}

Value valueOf(const CLI::Option& opt) {
    Value v;
    // A flag (--json, --yes, -h): CLI11 expects no value of it.
    if (opt.get_expected_max() == 0 || opt.get_type_size_max() == 0) return v;
    const std::string type = opt.get_type_name();
    const auto open = type.find('{');
    const auto close = type.find('}', open);
    if (open != std::string::npos && close != std::string::npos &&
        type.find("->") == std::string::npos) {
        v.kind = Value::kChoice;
        std::stringstream items(type.substr(open + 1, close - open - 1));
        for (std::string item; std::getline(items, item, ',');) v.choices.push_back(item);
        return v;
    }
    // Every text argument in a positional place is a file (FILE, IN, OUT, CSV, BACKUP).
    const bool positional = opt.get_lnames().empty() && opt.get_snames().empty();
    if (type == "FOLDER" || type == "DIR")
        v.kind = Value::kFolder;
    else if (type == "FILE" || type == "PATH")
        v.kind = Value::kFile;
    else if (type.rfind("TEXT", 0) != 0)
        v.kind = Value::kText;
    else
        v.kind = positional ? Value::kFile : pathKind(opt);
    return v;
}

void collect(const CLI::App& app, const std::string& path, std::vector<Node>& nodes) {
    Node node;
    node.path = path;
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_positional() && opt->get_lnames().empty() && opt->get_snames().empty()) {
            if (node.positional.kind == Value::kNone) node.positional = valueOf(*opt);
            continue;
        }
        Node::Opt o;
        for (const auto& s : opt->get_snames()) o.names.push_back("-" + s);
        for (const auto& l : opt->get_lnames()) o.names.push_back("--" + l);
        if (!opt->get_snames().empty()) o.shortName = opt->get_snames().front();
        if (!opt->get_lnames().empty()) o.longName = opt->get_lnames().front();
        o.help = opt->get_description();
        o.value = valueOf(*opt);
        o.repeatable = opt->get_expected_max() > 1;
        node.options.push_back(std::move(o));
    }
    std::vector<const CLI::App*> children =
        app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
    for (const CLI::App* child : children)
        node.subcommands.emplace_back(child->get_name(), child->get_description());
    nodes.push_back(node);
    for (const CLI::App* child : children) collect(*child, path + " " + child->get_name(), nodes);
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

std::vector<std::string> names(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::string> out;
    for (const auto& p : pairs) out.push_back(p.first);
    return out;
}

// Single quotes for bash and zsh: ' becomes '\''.
std::string shQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The value kind as the bash script reads it: "file", "folder", "text" or "choice a b c".
std::string bashKind(const Value& v) {
    switch (v.kind) {
        case Value::kFile:
            return "file";
        case Value::kFolder:
            return "folder";
        case Value::kText:
            return "text";
        case Value::kChoice:
            return "choice " + joined(v.choices);
        case Value::kNone:
            break;
    }
    return "";
}

void writeBash(std::ostream& out, const std::vector<Node>& nodes) {
    out << "# kbcfg completion for bash, written by `kbcfg completion bash`.\n"
           "__kbcfg_subcommands() {\n    case \"$1\" in\n";
    for (const Node& n : nodes)
        if (!n.subcommands.empty())
            out << "        \"" << n.path << "\") echo \"" << joined(names(n.subcommands))
                << "\" ;;\n";
    out << "    esac\n}\n__kbcfg_options() {\n    case \"$1\" in\n";
    for (const Node& n : nodes) {
        std::vector<std::string> all;
        for (const auto& o : n.options) all.insert(all.end(), o.names.begin(), o.names.end());
        out << "        \"" << n.path << "\") echo \"" << joined(all) << "\" ;;\n";
    }
    out << "    esac\n}\n# What follows an option: file, folder, text or choice WORDS; nothing "
           "for a flag.\n"
           "__kbcfg_value() {\n    case \"$1|$2\" in\n";
    for (const Node& n : nodes)
        for (const auto& o : n.options)
            if (o.value.kind != Value::kNone)
                for (const auto& name : o.names)
                    out << "        \"" << n.path << "|" << name << "\") echo \""
                        << bashKind(o.value) << "\" ;;\n";
    out << "    esac\n}\n__kbcfg_positional() {\n    case \"$1\" in\n";
    for (const Node& n : nodes)
        if (n.positional.kind != Value::kNone)
            out << "        \"" << n.path << "\") echo \"" << bashKind(n.positional) << "\" ;;\n";
    // One candidate a line (mapfile), so that a file name with a space stays one candidate;
    // readline quotes it (-o filenames).
    // clang-format off
    out << R"SH(    esac
}
__kbcfg_complete_value() {
    # The word as typed, without the quotes and backslashes the shell takes away.
    local kind=$1 cur=${2//\\/}
    cur=${cur#[\"\']}
    case $kind in
        file) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        folder) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
        choice\ *) mapfile -t COMPREPLY < <(compgen -W "${kind#choice }" -- "$cur") ;;
        *) COMPREPLY=() ;;
    esac
}
_kbcfg() {
    local cur=${COMP_WORDS[COMP_CWORD]} path=kbcfg pending="" word i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        # bash splits "--file=x" into --file, = and x (COMP_WORDBREAKS): x is still the value.
        if [[ $word == "=" && -n $pending ]]; then continue; fi
        if [[ -n $pending ]]; then pending=""; continue; fi
        if [[ $word == -* ]]; then
            [[ $word == *=* ]] || pending=$(__kbcfg_value "$path" "$word")
            continue
        fi
        case " $(__kbcfg_subcommands "$path") " in
            *" $word "*) path="$path $word" ;;
        esac
    done
    if [[ -n $pending ]]; then
        [[ $cur == "=" ]] && cur=""
        __kbcfg_complete_value "$pending" "$cur"
    elif [[ $cur == --*=* ]]; then
        # "=" taken out of COMP_WORDBREAKS: the value completes in the same word.
        __kbcfg_complete_value "$(__kbcfg_value "$path" "${cur%%=*}")" "${cur#*=}"
        [[ ${#COMPREPLY[@]} -gt 0 ]] && COMPREPLY=("${COMPREPLY[@]/#/${cur%%=*}=}")
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(__kbcfg_options "$path")" -- "$cur")
    elif [[ -n $(__kbcfg_subcommands "$path") ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(__kbcfg_subcommands "$path")" -- "$cur")
    else
        __kbcfg_complete_value "$(__kbcfg_positional "$path")" "$cur"
    fi
}
complete -F _kbcfg kbcfg
)SH";
    // clang-format on
}

// The zsh function completing one command: _kbcfg, _kbcfg__device, _kbcfg__device__add.
std::string zshFunction(const std::string& path) {
    std::string out = "_" + path;
    for (std::size_t at; (at = out.find(' ')) != std::string::npos;) out.replace(at, 1, "__");
    return out;
}

// What _arguments completes for a value: ":message:action".
std::string zshAction(const Value& v, const std::string& message) {
    switch (v.kind) {
        case Value::kFile:
            return ":" + message + ":_files";
        case Value::kFolder:
            return ":" + message + ":_files -/";
        case Value::kChoice:
            return ":" + message + ":(" + joined(v.choices) + ")";
        case Value::kText:
            return ":" + message + ": ";
        case Value::kNone:
            break;
    }
    return "";
}

// The _arguments specs of one option, one per name: '(-f --file)--file=[help]:file:_files'.
std::vector<std::string> zshSpecs(const Node::Opt& o) {
    std::string help;
    for (char c : o.help) {
        if (c == '\\' || c == '[' || c == ']' || c == ':') help += '\\';
        help += c;
    }
    const std::string group = o.repeatable         ? "*"
                              : o.names.size() > 1 ? "(" + joined(o.names) + ")"
                                                   : "";
    const std::string message = o.longName.empty() ? o.shortName : o.longName;
    std::vector<std::string> specs;
    for (const std::string& name : o.names) {
        // --file=: the value after "=" or as the next word; -f+: stuck on or the next word.
        const std::string takes = o.value.kind == Value::kNone ? "" : name.size() == 2 ? "+" : "=";
        specs.push_back(
            shQuoted(group + name + takes + "[" + help + "]" + zshAction(o.value, message)));
    }
    return specs;
}

void writeZsh(std::ostream& out, const std::vector<Node>& nodes) {
    // The first line lets zsh autoload the file from its function path as _kbcfg.
    out << "#compdef kbcfg\n# kbcfg completion for zsh, written by `kbcfg completion zsh`.\n";
    for (const Node& n : nodes) {
        out << "\n" << zshFunction(n.path) << "() {\n";
        if (!n.subcommands.empty())
            out << "    local curcontext=$curcontext state state_descr line ret=1\n"
                   "    local -A opt_args\n";
        // -A "-*": an option unknown here is no command name (kbcfg --json device).
        out << "    _arguments -S";
        if (!n.subcommands.empty()) out << " -C -A '-*'";
        for (const auto& o : n.options)
            for (const std::string& spec : zshSpecs(o)) out << " \\\n        " << spec;
        if (!n.subcommands.empty())
            out << " \\\n        '1: :->command' \\\n        '*:: :->argument' && ret=0\n";
        else if (n.positional.kind != Value::kNone)
            out << " \\\n        " << shQuoted("*" + zshAction(n.positional, "argument")) << "\n";
        else
            out << "\n";
        if (n.subcommands.empty()) {
            out << "}\n";
            continue;
        }
        out << "    case $state in\n        command)\n            local -a commands=(";
        for (const auto& [name, help] : n.subcommands)
            out << "\n                " << shQuoted(name + ":" + help);
        out << "\n            )\n            _describe -t commands "
            << shQuoted(n.path + " command")
            << " commands && ret=0\n            ;;\n        argument)\n"
               "            curcontext=${curcontext%:*:*}:"
            << zshFunction(n.path).substr(1) << "-$words[1]:\n            case $words[1] in\n";
        for (const auto& [name, help] : n.subcommands)
            out << "                " << name << ") " << zshFunction(n.path + " " + name)
                << " && ret=0 ;;\n";
        out << "            esac\n            ;;\n    esac\n    return ret\n}\n";
    }
    // Autoloaded from the function path the file is _kbcfg's body: complete this first request.
    // Sourced, it registers itself.
    out << "\nif [ \"$funcstack[1]\" = _kbcfg ]; then\n    _kbcfg \"$@\"\nelse\n"
           "    compdef _kbcfg kbcfg\nfi\n";
}

// Fish quotes: single quotes, with \ and ' escaped.
std::string fishQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

void writeFish(std::ostream& out, const std::vector<Node>& nodes) {
    out << "# kbcfg completion for fish, written by `kbcfg completion fish`.\n"
           "complete -c kbcfg -f\n";
    // Which command a line has reached, skipping option values: __fish_seen_subcommand_from
    // would take the user named "user" in "-u user device add" for the command.
    out << "set -g __kbcfg_commands";
    for (const Node& n : nodes) out << " " << fishQuoted(n.path);
    out << "\nset -g __kbcfg_valued";
    for (const Node& n : nodes)
        for (const auto& o : n.options)
            if (o.value.kind != Value::kNone)
                for (const auto& name : o.names) out << " " << fishQuoted(n.path + "|" + name);
    // clang-format off
    out << R"FISH(
function __kbcfg_at --description 'Whether the command line has reached command $argv[1]'
    set -l path kbcfg
    set -l skip 0
    for word in (commandline -opc)[2..-1]
        if test $skip = 1
            set skip 0
        else if string match -q -- '-*' $word
            if not string match -q -- '*=*' $word; and contains -- "$path|$word" $__kbcfg_valued
                set skip 1
            end
        else if contains -- "$path $word" $__kbcfg_commands
            set path "$path $word"
        end
    end
    test "$path" = "$argv[1]"
end
)FISH";
    // clang-format on
    for (const Node& n : nodes) {
        const std::string cond = fishQuoted("__kbcfg_at " + fishQuoted(n.path));
        for (const auto& [name, help] : n.subcommands)
            out << "complete -c kbcfg -n " << cond << " -a " << name << " -d " << fishQuoted(help)
                << '\n';
        for (const auto& o : n.options) {
            out << "complete -c kbcfg -n " << cond;
            if (!o.shortName.empty()) out << " -s " << o.shortName;
            if (!o.longName.empty()) out << " -l " << o.longName;
            if (o.value.kind == Value::kFile) out << " -r -F";
            if (o.value.kind == Value::kFolder) out << " -x -a '(__fish_complete_directories)'";
            if (o.value.kind == Value::kText) out << " -x";
            if (o.value.kind == Value::kChoice)
                out << " -x -a " << fishQuoted(joined(o.value.choices));
            out << " -d " << fishQuoted(o.help) << '\n';
        }
        if (n.positional.kind == Value::kFile) out << "complete -c kbcfg -n " << cond << " -F\n";
        if (n.positional.kind == Value::kChoice)
            out << "complete -c kbcfg -n " << cond << " -a "
                << fishQuoted(joined(n.positional.choices)) << '\n';
    }
}

}  // namespace

CompletionCommand::CompletionCommand()
    : Command("completion", "Print a shell completion script (bash, zsh or fish)") {}

void CompletionCommand::setup(CLI::App& app) {
    root_ = app.get_parent();
    app.add_option("SHELL", shell_, "The shell")
        ->required()
        ->check(CLI::IsMember({"bash", "zsh", "fish"}));
}

int CompletionCommand::run(Context&) {
    std::vector<Node> nodes;
    collect(*root_, "kbcfg", nodes);
    if (shell_ == "fish")
        writeFish(std::cout, nodes);
    else if (shell_ == "zsh")
        writeZsh(std::cout, nodes);
    else
        writeBash(std::cout, nodes);
    return kExitOk;
}

}  // namespace kbcfg::cli
