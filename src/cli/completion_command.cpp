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
    enum Kind { None, Text, File, Choice } kind = None;
    std::vector<std::string> choices;
};

// One command of the tree: "kbcfg device add" and what it takes.
struct Node {
    std::string path;
    std::string description;
    std::vector<std::string> subcommands;
    std::vector<std::pair<std::string, std::string>> subcommandHelp;  // name, description
    struct Opt {
        std::vector<std::string> names;  // "-f", "--file"
        std::string shortName, longName, help;
        Value value;
    };
    std::vector<Opt> options;
    Value positional;
};

// Options naming files: the tree's text options carry no type of their own for them, but their
// names and help say so ("--file", "--output", "Configuration file whose ...").
bool namesFile(const CLI::Option& opt) {
    std::string help = opt.get_description();
    for (char& c : help) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto& names = opt.get_lnames();
    const bool named = !names.empty() && (names.front() == "file" || names.front() == "output");
    return named || help.find("file") != std::string::npos;
}

Value valueOf(const CLI::Option& opt) {
    Value v;
    if (opt.get_type_size_max() == 0) return v;  // a flag
    const std::string type = opt.get_type_name();
    const auto open = type.find('{');
    const auto close = type.find('}', open);
    if (open != std::string::npos && close != std::string::npos &&
        type.find("->") == std::string::npos) {
        v.kind = Value::Choice;
        std::stringstream items(type.substr(open + 1, close - open - 1));
        for (std::string item; std::getline(items, item, ',');) v.choices.push_back(item);
        return v;
    }
    // Every text argument in a positional place is a file (FILE, IN, OUT, CSV, BACKUP).
    const bool text = type.rfind("TEXT", 0) == 0;
    const bool positional = opt.get_lnames().empty() && opt.get_snames().empty();
    const bool file = text && (positional || namesFile(opt));
    v.kind = file ? Value::File : Value::Text;
    return v;
}

void collect(const CLI::App& app, const std::string& path, std::vector<Node>& nodes) {
    Node node;
    node.path = path;
    node.description = app.get_description();
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_positional() && opt->get_lnames().empty() && opt->get_snames().empty()) {
            if (node.positional.kind == Value::None) node.positional = valueOf(*opt);
            continue;
        }
        Node::Opt o;
        for (const auto& s : opt->get_snames()) o.names.push_back("-" + s);
        for (const auto& l : opt->get_lnames()) o.names.push_back("--" + l);
        if (!opt->get_snames().empty()) o.shortName = opt->get_snames().front();
        if (!opt->get_lnames().empty()) o.longName = opt->get_lnames().front();
        o.help = opt->get_description();
        o.value = valueOf(*opt);
        node.options.push_back(std::move(o));
    }
    std::vector<const CLI::App*> children =
        app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
    for (const CLI::App* child : children) {
        node.subcommands.push_back(child->get_name());
        node.subcommandHelp.emplace_back(child->get_name(), child->get_description());
    }
    nodes.push_back(node);
    for (const CLI::App* child : children) collect(*child, path + " " + child->get_name(), nodes);
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The value kind as the bash script reads it: "file", "text" or "choice a b c".
std::string bashKind(const Value& v) {
    switch (v.kind) {
        case Value::File:
            return "file";
        case Value::Text:
            return "text";
        case Value::Choice:
            return "choice " + joined(v.choices);
        case Value::None:
            break;
    }
    return "";
}

void writeBash(std::ostream& out, const std::vector<Node>& nodes) {
    out << "# kbcfg completion for bash, written by `kbcfg completion bash`.\n"
           "__kbcfg_subcommands() {\n    case \"$1\" in\n";
    for (const Node& n : nodes)
        if (!n.subcommands.empty())
            out << "        \"" << n.path << "\") echo \"" << joined(n.subcommands) << "\" ;;\n";
    out << "    esac\n}\n__kbcfg_options() {\n    case \"$1\" in\n";
    for (const Node& n : nodes) {
        std::vector<std::string> names;
        for (const auto& o : n.options) names.insert(names.end(), o.names.begin(), o.names.end());
        out << "        \"" << n.path << "\") echo \"" << joined(names) << "\" ;;\n";
    }
    out << "    esac\n}\n# What follows an option: file, text or choice WORDS; nothing for a "
           "flag.\n"
           "__kbcfg_value() {\n    case \"$1|$2\" in\n";
    for (const Node& n : nodes)
        for (const auto& o : n.options)
            if (o.value.kind != Value::None)
                for (const auto& name : o.names)
                    out << "        \"" << n.path << "|" << name << "\") echo \""
                        << bashKind(o.value) << "\" ;;\n";
    out << "    esac\n}\n__kbcfg_positional() {\n    case \"$1\" in\n";
    for (const Node& n : nodes)
        if (n.positional.kind != Value::None)
            out << "        \"" << n.path << "\") echo \"" << bashKind(n.positional) << "\" ;;\n";
    // clang-format off
    out << R"SH(    esac
}
__kbcfg_complete_value() {
    case "$1" in
        file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$2")) ;;
        choice\ *) COMPREPLY=($(compgen -W "${1#choice }" -- "$2")) ;;
        *) COMPREPLY=() ;;
    esac
}
_kbcfg() {
    local cur=${COMP_WORDS[COMP_CWORD]} path=kbcfg pending= word i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -n $pending ]]; then pending=; continue; fi
        if [[ $word == -* ]]; then
            pending=$(__kbcfg_value "$path" "${word%%=*}")
            [[ $word == *=* ]] && pending=
            continue
        fi
        case " $(__kbcfg_subcommands "$path") " in
            *" $word "*) path="$path $word" ;;
        esac
    done
    if [[ -n $pending ]]; then
        __kbcfg_complete_value "$pending" "$cur"
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(__kbcfg_options "$path")" -- "$cur"))
    elif [[ -n $(__kbcfg_subcommands "$path") ]]; then
        COMPREPLY=($(compgen -W "$(__kbcfg_subcommands "$path")" -- "$cur"))
    else
        __kbcfg_complete_value "$(__kbcfg_positional "$path")" "$cur"
    fi
}
complete -F _kbcfg kbcfg
)SH";
    // clang-format on
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

// The fish condition under which a command's words apply: its path was typed, none of its own
// subcommands yet.
std::string fishCondition(const Node& n) {
    std::istringstream words(n.path);
    std::string word, cond;
    words >> word;  // kbcfg
    while (words >> word)
        cond += (cond.empty() ? "" : "; and ") + std::string("__fish_seen_subcommand_from ") + word;
    if (cond.empty()) return "__fish_use_subcommand";
    if (!n.subcommands.empty())
        cond += "; and not __fish_seen_subcommand_from " + joined(n.subcommands);
    return cond;
}

void writeFish(std::ostream& out, const std::vector<Node>& nodes) {
    out << "# kbcfg completion for fish, written by `kbcfg completion fish`.\ncomplete -c kbcfg "
           "-f\n";
    for (const Node& n : nodes) {
        const std::string cond = fishQuoted(fishCondition(n));
        for (const auto& [name, help] : n.subcommandHelp)
            out << "complete -c kbcfg -n " << cond << " -a " << name << " -d " << fishQuoted(help)
                << '\n';
        for (const auto& o : n.options) {
            out << "complete -c kbcfg -n " << cond;
            if (!o.shortName.empty()) out << " -s " << o.shortName;
            if (!o.longName.empty()) out << " -l " << o.longName;
            if (o.value.kind == Value::File) out << " -r -F";
            if (o.value.kind == Value::Text) out << " -r";
            if (o.value.kind == Value::Choice)
                out << " -x -a " << fishQuoted(joined(o.value.choices));
            out << " -d " << fishQuoted(o.help) << '\n';
        }
        if (n.positional.kind == Value::File) out << "complete -c kbcfg -n " << cond << " -F\n";
        if (n.positional.kind == Value::Choice)
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
    if (shell_ == "fish") {
        writeFish(std::cout, nodes);
        return kExitOk;
    }
    // zsh runs the bash script through its bash emulation.
    if (shell_ == "zsh") std::cout << "autoload -U +X bashcompinit && bashcompinit\n";
    writeBash(std::cout, nodes);
    return kExitOk;
}

}  // namespace kbcfg::cli
