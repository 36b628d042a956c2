// SPDX-License-Identifier: GPL-3.0-or-later
#include "Options.h"

#include <charconv>

namespace simsafe {

namespace {

template <typename T>
bool ParseNumber(std::string_view text, T &value, int base = 10)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace

bool ParseMisbehaviourList(std::string_view list, std::vector<Misbehaviour> &modes,
                           std::string &error)
{
    std::vector<Misbehaviour> parsed;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        const auto mode = MisbehaviourFromName(name);
        if (!mode) {
            error = "unknown misbehaviour \"" + std::string(name) + "\" (known: " +
                    MisbehaviourNames() + ")";
            return false;
        }
        parsed.push_back(*mode);
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    modes.insert(modes.end(), parsed.begin(), parsed.end());
    return true;
}

bool ParseGap(std::string_view text, std::chrono::milliseconds &gap)
{
    int ms = 0;
    if (!ParseNumber(text, ms) || ms < 0 || ms > 60000)
        return false;
    gap = std::chrono::milliseconds(ms);
    return true;
}

bool ParseOptions(const std::vector<std::string_view> &args, Options &options, std::string &error)
{
    bool hidden = false;
    std::optional<std::uint32_t> nonce;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        auto value = [&](std::string_view &out) {
            if (i + 1 >= args.size()) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string_view v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--keep-unread") {
            options.keepUnread = true;
        } else if (arg == "--go-on-sending") {
            options.goOnSending = true;
        } else if (arg == "--hidden") {
            hidden = true;
        } else if (arg == "--link") {
            if (!value(v))
                return false;
            if (v.empty()) {
                error = "--link needs a path";
                return false;
            }
            options.linkPath = v;
        } else if (arg == "--misbehave") {
            if (!value(v) || !ParseMisbehaviourList(v, options.misbehaviour, error))
                return false;
        } else if (arg == "--gap") {
            if (!value(v))
                return false;
            if (!ParseGap(v, options.gap)) {
                error = "--gap takes milliseconds from 0 to 60000, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (arg == "--reply") {
            if (!value(v))
                return false;
            options.fixedReply = std::string(v);
        } else if (arg == "--locked") {
            if (!value(v))
                return false;
            std::int32_t seconds = 0;
            if (!ParseNumber(v, seconds) || seconds < 0) {
                error = "--locked takes seconds from 0 (until the unlock code) to 2147483647, not \"" +
                        std::string(v) + "\"";
                return false;
            }
            options.startLock = StartLock{seconds, false, 0};
        } else if (arg == "--nonce") {
            if (!value(v))
                return false;
            std::uint32_t n = 0;
            if (!ParseNumber(v, n, 16) || n > 0xFFFF) {
                error = "--nonce takes four hexadecimal digits, not \"" + std::string(v) + "\"";
                return false;
            }
            nonce = n;
        } else if (arg == "--state-file") {
            if (!value(v))
                return false;
            if (v.empty()) {
                error = "--state-file needs a path";
                return false;
            }
            options.stateFile = v;
        } else {
            error = "unknown option \"" + std::string(arg) + "\"";
            return false;
        }
    }
    if ((hidden || nonce) && !options.startLock) {
        error = "--hidden and --nonce go with --locked";
        return false;
    }
    if (options.startLock) {
        options.startLock->hidden = hidden;
        options.startLock->nonce = nonce.value_or(0);
    }
    return true;
}

std::string UsageText()
{
    return "usage: simsafe [options]\n"
           "Serves the key safe's side of the serial protocol on a new pseudo-terminal and\n"
           "prints the terminal's path as the first line. Ends on SIGTERM, SIGINT or SIGHUP.\n"
           "\n"
           "  --link PATH          also make PATH a symbolic link to the terminal (removed on exit)\n"
           "  --misbehave LIST     break replies on purpose: one mode per reply, in turn, the\n"
           "                       last one for all later replies (modes: " +
           MisbehaviourNames() +
           ")\n"
           "  --gap MS             the pause of the slow and split modes (default 100)\n"
           "  --reply TEXT         answer every command with TEXT (may be empty); the safe still\n"
           "                       acts on the command\n"
           "  --locked SECONDS     start locked for SECONDS (0: until the unlock code)\n"
           "  --hidden             ... with the time hidden\n"
           "  --nonce HEX          ... for the lock code with this nonce (default 0)\n"
           "  --state-file PATH    keep the lock in PATH across runs, as the board keeps it\n"
           "  --keep-unread        keep what a controller left unread for the next one, as a\n"
           "                       line without the clean-up on closing would\n"
           "  --go-on-sending      go on sending a reply after the controller closed the port\n"
           "  --verbose            tell on standard error what the safe receives and answers\n"
           "\n"
           "Control lines on standard input, each answered by one line on standard output:\n"
           "  status               -> status latch=open|closed lock=none|until-unlock|timed\n"
           "                          seconds=N hidden=0|1\n"
           "  misbehave LIST       -> ok   (as --misbehave, starting afresh)\n"
           "  gap MS               -> ok\n"
           "  reply TEXT           -> ok   (as --reply; \"reply\" alone sets the empty reply)\n"
           "  reply-off            -> ok   (the safe's own replies again)\n"
           "  received             -> received HEX (every byte received since the last asking)\n"
           "After a hangup the safe serves a new terminal, announced as \"port PATH\".\n";
}

} // namespace simsafe
