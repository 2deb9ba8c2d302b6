#include "cli/build_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/image_output.h"
#include "cli/terminal_host.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "store/files.h"
#include "store/printable.h"
#include "store/text_form.h"

namespace kbcfg::cli {

namespace {

// "17, 40-52, 60": runs of numbers shortened, so that a base missing a whole table stays one line.
std::string numberList(const std::vector<int>& numbers) {
    std::string out;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(numbers[i]);
        if (j > i) out += (j == i + 1 ? ", " : "-") + std::to_string(numbers[j]);
        i = j + 1;
    }
    return out;
}

// "operator 3, device slots 17, 40" for the records a base had no password for.
std::string recordList(const store::textform::EmptyPasswords& empty) {
    std::string out;
    if (!empty.operators.empty())
        out += (empty.operators.size() == 1 ? "operator " : "operators ") +
               numberList(empty.operators);
    if (!empty.deviceSlots.empty())
        out += (out.empty() ? "" : ", ") +
               std::string(empty.deviceSlots.size() == 1 ? "device slot " : "device slots ") +
               numberList(empty.deviceSlots);
    return out;
}

// Standard input whole, at most maxBytes (so that an endless stream stops at the cap); nullopt,
// with `why`, when it cannot be read. A terminal is read too: the user asked for it with "-".
std::optional<std::vector<std::uint8_t>> readStandardInput(std::size_t maxBytes, std::string& why) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    while (bytes.size() < maxBytes) {
        std::error_code ec;
        const long n = platform::readStandardInput(
            buffer, std::min(sizeof buffer, maxBytes - bytes.size()), ec);
        if (n < 0) {
            why = ec.message();
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

}  // namespace

BuildCommand::BuildCommand()
    : Command("build", "Write a configuration file (current layout) from its JSON text form") {}

void BuildCommand::setup(CLI::App& app) {
    app.add_option("IN", in_, "JSON text form, as export-json writes it (- for standard input)")
        ->required();
    app.add_option("OUT", out_, "Configuration file to write (scrambled, current layout)")
        ->required();
    app.add_option("--base", base_,
                   "Configuration file whose passwords a text form without passwords keeps");
}

int BuildCommand::run(Context& ctx) {
    namespace tf = store::textform;
    // "-" is standard input; the output is a configuration file, never a stream.
    const bool fromStdin = in_ == "-";
    const std::string source = fromStdin ? "standard input" : store::printablePath(in_);
    std::string why;
    std::optional<std::vector<std::uint8_t>> bytes;
    if (fromStdin) {
        bytes = readStandardInput(store::textform::kMaxTextFormBytes + 1, why);
    } else {
        // Asking for just one byte more than the file holds spares the reader a growing buffer.
        std::error_code ec;
        const auto in = platform::fromUtf8(in_);
        const auto size = std::filesystem::file_size(in, ec);
        const std::size_t limit =
            ec ? store::textform::kMaxTextFormBytes + 1
               : std::min<std::size_t>(size + 1, store::textform::kMaxTextFormBytes + 1);
        bytes = store::readFileBytes(in, limit, &why);
    }
    if (!bytes) return fail("cannot read " + source + ": " + why);
    if (bytes->size() > store::textform::kMaxTextFormBytes)
        return fail(source + ": too large for a text form");
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    const tf::BuildResult built = tf::buildText(text, ctx.image);
    if (!built.ok) return fail(source + ": " + built.path + ": " + built.message);

    if (!base_.empty()) {
        store::SessionState session;
        store::setConfigPaths(session, platform::fromUtf8(base_));
        store::ConfigImage base;
        if (store::loadImage(ctx.host, session, base) != 0) return kExitFailed;
        if (!built.withPasswords) {
            // Passwords go by record position; a record the base does not use has none to give.
            const tf::EmptyPasswords empty = tf::carryPasswords(base, ctx.image);
            if (!empty.empty())
                std::cerr << "kbcfg: no password in " << store::printablePath(base_) << " for "
                          << recordList(empty)
                          << (empty.operators.size() + empty.deviceSlots.size() == 1
                                  ? "; it is left empty"
                                  : "; they are left empty")
                          << std::endl;
        }
    } else if (!built.withPasswords) {
        std::cerr << "kbcfg: " << source
                  << " carries no passwords; they are left empty (give --base FILE to keep a "
                     "file's passwords)"
                  << std::endl;
    }
    if (!writeScrambledImage(platform::fromUtf8(out_), ctx.image, &why))
        return fail("cannot write " + store::printablePath(out_) + ": " + why);
    return kExitOk;
}

}  // namespace kbcfg::cli
